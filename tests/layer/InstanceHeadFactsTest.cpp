// The log file's head names the application that created the instance and the runtime below.
// The log file opens once per process: one test, its cases in a table.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "LayerFixture.h"
#include "TestSupport.h"
#include "log/LogFileWriter.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Drains until the file holds `part` past its first `before` bytes (bounded); returns what was
// added.
std::string DrainUntilAdded(LogFileWriter& writer, const std::string& path, size_t before,
                            const std::string& part) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string added;
    do {
        writer.Drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::string text = ReadFile(path);
        added = text.size() > before ? text.substr(before) : std::string();
    } while (added.find(part) == std::string::npos && std::chrono::steady_clock::now() < until);
    return added;
}

TEST_F(LayerFixture, TheLogHeadNamesTheApplicationAndTheRuntime) {
    const std::filesystem::path folder = MakeTemporaryDirectory();
    LogFileWriter& writer = LogFileWriter::Instance();
    const std::string path = writer.Start(folder.string(), "");
    ASSERT_FALSE(path.empty());

    struct Case {
        const char* name;
        std::string applicationName;  // filled to the end when longer than the field
        const char* engineName;       // empty: none named
        const char* failingLookup;    // null: the runtime answers
        std::string expected;
    };
    const std::string fullName(XR_MAX_APPLICATION_NAME_SIZE, 'n');
    const Case cases[] = {
        {"the runtime answers", "probe app", "probe engine", nullptr,
         "application: probe app 7, engine: probe engine 3, OpenXR 1.0.34\n"
         "runtime: fake runtime 4.5.6\n"},
        {"a name without a terminator", fullName, "probe engine", nullptr,
         "application: " + fullName +
             " 7, engine: probe engine 3, OpenXR 1.0.34\n"
             "runtime: fake runtime 4.5.6\n"},
        {"no engine named", "probe app", "", nullptr,
         "application: probe app 7, OpenXR 1.0.34\nruntime: fake runtime 4.5.6\n"},
        {"a runtime that cannot tell", "probe app", "probe engine", "xrGetInstanceProperties",
         "application: probe app 7, engine: probe engine 3, OpenXR 1.0.34\n"
         "runtime: not told (xrGetInstanceProperties gave XR_ERROR_FUNCTION_UNSUPPORTED)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenXRLayer::Destroy();
        FakeNextElement::Reset();
        if (c.failingLookup != nullptr) {
            Fake().failingLookups.emplace_back(c.failingLookup);
        }
        XrApplicationInfo& application = applicationInfo.applicationInfo;
        std::memcpy(application.applicationName, c.applicationName.data(),
                    std::min(c.applicationName.size() + 1, sizeof(application.applicationName)));
        application.applicationVersion = 7;
        std::strcpy(application.engineName, c.engineName);
        application.engineVersion = 3;
        application.apiVersion = XR_MAKE_VERSION(1, 0, 34);

        LoaderCreateRecords records;
        XrInstance instance = XR_NULL_HANDLE;
        const size_t before = ReadFile(path).size();
        ASSERT_EQ(Create(records, &instance), XR_SUCCESS);
        EXPECT_EQ(instance, Fake().createdInstance);
        const std::string added = DrainUntilAdded(writer, path, before, "runtime: ");
        // Each line after its time; the options the creation read come first.
        std::string lines;
        std::istringstream stream(added);
        for (std::string line; std::getline(stream, line);) {
            if (line.size() > 24 && (line.compare(24, 13, "application: ") == 0 ||
                                     line.compare(24, 9, "runtime: ") == 0)) {
                lines += line.substr(24) + '\n';
            }
        }
        EXPECT_EQ(lines, c.expected) << added;
    }
    RemoveTemporaryDirectory(folder);
}

}  // namespace
