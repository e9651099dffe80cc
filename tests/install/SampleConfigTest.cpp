// The sample configuration shipped to users must be readable by the layer as it stands: every
// one of the nine settings present in [SETTINGS], with a value of the type the tracker asks for.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "ini/IniFile.h"
#include "tracking/LayerOptions.h"

namespace {

const IniFile& Sample() {
    static const IniFile sample(TARVEX_SAMPLE_CONFIG);
    return sample;
}

TEST(SampleConfiguration, IntegerSettings) {
    const struct {
        const char* key;
        int32_t value;
    } cases[] = {
        {"connectiontype", 0}, {"hmdrbid", 1}, {"controllerrrbid", 2}, {"controllerlrbid", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(Sample().get<int32_t>("SETTINGS", c.key), c.value);
    }
}

TEST(SampleConfiguration, AddressSettings) {
    for (const char* key : {"localaddress", "serveraddress"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(Sample().get<std::string>("SETTINGS", key), "127.0.0.1");
    }
}

TEST(SampleConfiguration, InterpupillaryDistanceInMillimetres) {
    EXPECT_FLOAT_EQ(Sample().get<float>("SETTINGS", "ipd"), 64.0f);
}

TEST(SampleConfiguration, ControllerOverridesOff) {
    for (const char* key : {"overrider", "overridel"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(Sample().get<bool>("SETTINGS", key));
    }
}

// The comments document the keys by name; none of them may turn into a setting of its own.
TEST(SampleConfiguration, HoldsExactlyTheNineSettings) {
    EXPECT_EQ(Sample().getSection("SETTINGS").size(), 9u);
}

// The options are documented commented out: as shipped, none is on; with the "; " of the
// section and option lines removed, as the file tells users to do, the layer reads every one.
TEST(SampleConfiguration, OptionsAreOffAndReadyToSwitchOn) {
    EXPECT_FALSE(ReadLayerOptions(Sample()).AnyOn());

    std::ifstream shipped(TARVEX_SAMPLE_CONFIG, std::ios::binary);
    std::ostringstream text;
    text << shipped.rdbuf();
    const std::regex commentedOut(R"(^; (\[OPTIONS\]|[a-z]+ = [^ ]+)$)", std::regex::multiline);
    const std::string uncommented = std::regex_replace(text.str(), commentedOut, "$1");
    const std::filesystem::path folder = MakeTemporaryDirectory();
    std::ofstream(folder / "TarvexOpenXRConfig.ini", std::ios::binary) << uncommented;

    const LayerOptions options =
        ReadLayerOptions(IniFile((folder / "TarvexOpenXRConfig.ini").string()));
    EXPECT_TRUE(options.predictDisplayTime);
    EXPECT_EQ(options.maxPredictionMs, 50.0f);
    EXPECT_TRUE(options.trackedViewSpace);
    EXPECT_EQ(options.trackingLossMs, 100.0f);
    EXPECT_TRUE(options.submitRuntimeViews);
    std::filesystem::remove_all(folder);
}

}  // namespace
