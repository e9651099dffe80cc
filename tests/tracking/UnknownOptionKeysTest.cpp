#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ini/IniFile.h"
#include "tracking/LayerOptions.h"
#include "tracking/UnknownOptionKeys.h"

namespace {

// The [OPTIONS] keys the layer does not know, each with the option it most likely means.
TEST(UnknownOptionKeysTest, NamesEachUnknownKeyWithTheNearestKnownOne) {
    const struct {
        const char* name;
        std::string file;  // after the settings
        std::vector<std::string> lines;
    } cases[] = {
        {"no section", "", {}},
        {"every known key",
         "[OPTIONS]\npredictdisplaytime = true\nmaxpredictionms = 30\ntrackedviewspace = true\n"
         "trackinglossms = 100\nsubmitruntimeviews = true\n",
         {}},
        {"one letter too many",
         "[OPTIONS]\nmaxpredictionsms = 30\n",
         {"option key 'maxpredictionsms' in [OPTIONS] is unknown and ignored (did you mean "
          "'maxpredictionms'?)"}},
        {"letter case",
         "[OPTIONS]\nPredictDisplayTime = true\n",
         {"option key 'PredictDisplayTime' in [OPTIONS] is unknown and ignored (did you mean "
          "'predictdisplaytime'?)"}},
        {"three edits away",
         "[OPTIONS]\ntrackedviewsp = true\n",
         {"option key 'trackedviewsp' in [OPTIONS] is unknown and ignored (did you mean "
          "'trackedviewspace'?)"}},
        {"four edits away is no longer close",
         "[OPTIONS]\ntrackedviews = true\n",
         {"option key 'trackedviews' in [OPTIONS] is unknown and ignored"}},
        {"several, in alphabetical order",
         "[OPTIONS]\nsubmitruntimeview = true\nlatency = 3\ntrackinglossms = 100\n",
         {"option key 'latency' in [OPTIONS] is unknown and ignored",
          "option key 'submitruntimeview' in [OPTIONS] is unknown and ignored (did you mean "
          "'submitruntimeviews'?)"}},
        // The settings' keys are not options, in [OPTIONS].
        {"a setting's key",
         "[OPTIONS]\nipd = 64\n",
         {"option key 'ipd' in [OPTIONS] is unknown and ignored"}},
    };
    const std::filesystem::path folder = MakeTemporaryDirectory();
    const std::filesystem::path path = folder / "options.ini";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path, std::ios::binary) << SettingsFile{}.Text() << c.file;
        std::vector<std::string> lines;
        for (const UnknownOptionKey& unknown : FindUnknownOptionKeys(IniFile(path.string()))) {
            lines.push_back(DescribeUnknownOptionKey(unknown));
        }
        EXPECT_EQ(lines, c.lines);
    }
    RemoveTemporaryDirectory(folder);
}

}  // namespace
