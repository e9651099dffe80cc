#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "CheckTestSupport.h"
#include "log/LogFile.h"
#include "platform/Platform.h"
#include "tools/check/LogFileCheck.h"

namespace {

// The line names the folder the layer's own choice takes: the configuration folder while it can
// be written, else the user's state folder.
TEST(LogFileCheckTest, NamesTheLogFileWhereTheLayerWouldWriteIt) {
    TemporaryFolder config;
    TemporaryFolder state;
    const ScopedVariable stateHome("XDG_STATE_HOME", state.Path().string());
    const ScopedVariable localAppData("LOCALAPPDATA", state.Path().string());
    const std::string stateFolder = platform::UserStateFolder();
    ASSERT_EQ(stateFolder.rfind(state.Path().string(), 0), 0u) << stateFolder;
    struct Case {
        const char* name;
        std::optional<std::string> configFolder;
        std::string expectedFolder;
    };
    const Case cases[] = {
        {"a writable configuration folder", config.Path().string(), config.Path().string()},
        {"a configuration folder that does not exist", (config.Path() / "missing").string(),
         stateFolder},
        {"no configuration folder", std::nullopt, stateFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedVariable variable("TARVEX_OPENXR_CONFIG", c.configFolder);
        Report report;
        ReportLogFile(report);
        const std::string path =
            (std::filesystem::path(c.expectedFolder) / LogFile::kFileName).string();
        const CheckLine line = OnlyLineOf(report, "log_file");
        EXPECT_EQ(line.verdict, Verdict::kInfo);
        EXPECT_NE(line.message.find(path), std::string::npos) << line.message;
        EXPECT_EQ(report.Lines().size(), 1u) << "one line in the report";
    }
}

}  // namespace
