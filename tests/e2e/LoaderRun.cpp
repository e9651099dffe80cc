#include "tests/e2e/LoaderRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/e2e/ChildProcess.h"

namespace e2e {

Environment IsolatedLoaderEnvironment(const std::string& dir, const std::string& recordPath) {
    const std::string empty = dir + "/empty";
    std::filesystem::create_directory(empty);
    return {
        {"XR_RUNTIME_JSON", TARVEX_STANDIN_RUNTIME_MANIFEST},
        {"XR_API_LAYER_PATH", empty},
        {"XR_ENABLE_API_LAYERS", std::nullopt},
        {"XDG_DATA_HOME", empty},
        {"XDG_DATA_DIRS", empty},
        {"XDG_CONFIG_DIRS", empty},
        {"TARVEX_STANDIN_RUNTIME_RECORD", recordPath},
        {"TARVEX_OPENXR_CONFIG", std::nullopt},
        {"DISABLE_TARVEX_TRACKING_OVERRIDE", std::nullopt},
    };
}

void ApplyToThisProcess(const Environment& environment) {
    for (const auto& [name, value] : environment) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
}

const std::vector<std::string>& FullSessionStates() {
    static const std::vector<std::string> states = {
        "XR_SESSION_STATE_IDLE",         "XR_SESSION_STATE_READY",
        "XR_SESSION_STATE_SYNCHRONIZED", "XR_SESSION_STATE_VISIBLE",
        "XR_SESSION_STATE_FOCUSED",      "XR_SESSION_STATE_VISIBLE",
        "XR_SESSION_STATE_SYNCHRONIZED", "XR_SESSION_STATE_STOPPING",
        "XR_SESSION_STATE_IDLE",         "XR_SESSION_STATE_EXITING"};
    return states;
}

Record ReadRecord(const std::string& path) {
    Record record;
    std::istringstream lines(ReadFile(path));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("session_state state=")) {
            record.sessionStates.push_back(line.substr(line.find('=') + 1));
        } else if (line.starts_with("reference_space ")) {
            record.referenceSpaces.push_back(line);
        } else if (auto located = demo::ParseViewsLine(line, "locate_views")) {
            record.located.push_back(*located);
        } else if (auto submitted = demo::ParseViewsLine(line, "projection_layer")) {
            record.submitted.push_back(*submitted);
        } else if (line.starts_with("end_frame ")) {
            record.endFrameResults.push_back(line.substr(line.find("result=") + 7));
        } else if (line.starts_with("captured_view ")) {
            CapturedView captured;
            long long displayTime = 0;
            const size_t file = line.find(" file=");
            if (std::sscanf(line.c_str(), "captured_view frame=%u view=%u display_time=%lld",
                            &captured.frame, &captured.view, &displayTime) != 3 ||
                file == std::string::npos) {
                ADD_FAILURE() << "unreadable record line: " << line;
                continue;
            }
            captured.displayTime = displayTime;
            captured.file = line.substr(file + 6);
            record.capturedViews.push_back(captured);
        } else {
            ADD_FAILURE() << "unexpected record line: " << line;
        }
    }
    return record;
}

std::optional<XrPosef> ReferenceSpacePose(const std::string& line) {
    const size_t at = line.find(" pose=");
    float n[7];
    char end = '\0';
    if (at == std::string::npos ||
        std::sscanf(line.c_str() + at + 6, "%f,%f,%f,%f,%f,%f,%f%c", &n[0], &n[1], &n[2], &n[3],
                    &n[4], &n[5], &n[6], &end) != 7) {
        return std::nullopt;
    }
    return MakePose(n[0], n[1], n[2], n[3], n[4], n[5], n[6]);
}

std::vector<ReceivedViews> ReadViewDump(const std::string& path) {
    std::vector<ReceivedViews> all;
    std::istringstream lines(ReadFile(path));
    for (std::string line; std::getline(lines, line);) {
        const auto views = demo::ParseViewsLine(line, "received");
        double callSeconds = 0.0;
        if (!views || std::sscanf(line.c_str(), "received call_seconds=%lf", &callSeconds) != 1) {
            ADD_FAILURE() << "unexpected view dump line: " << line;
            continue;
        }
        all.push_back({callSeconds, *views});
    }
    return all;
}

void ExpectPose(const XrPosef& actual, const XrPosef& expected, double tolerance,
                const std::string& what) {
    EXPECT_NEAR(actual.position.x, expected.position.x, tolerance) << what;
    EXPECT_NEAR(actual.position.y, expected.position.y, tolerance) << what;
    EXPECT_NEAR(actual.position.z, expected.position.z, tolerance) << what;
    EXPECT_NEAR(actual.orientation.x, expected.orientation.x, tolerance) << what;
    EXPECT_NEAR(actual.orientation.y, expected.orientation.y, tolerance) << what;
    EXPECT_NEAR(actual.orientation.z, expected.orientation.z, tolerance) << what;
    EXPECT_NEAR(actual.orientation.w, expected.orientation.w, tolerance) << what;
}

XrPosef MakePose(double px, double py, double pz, double qx, double qy, double qz, double qw) {
    XrPosef pose{};
    pose.position = {static_cast<float>(px), static_cast<float>(py), static_cast<float>(pz)};
    pose.orientation = {static_cast<float>(qx), static_cast<float>(qy), static_cast<float>(qz),
                        static_cast<float>(qw)};
    return pose;
}

}  // namespace e2e
