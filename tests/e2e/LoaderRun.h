#pragma once

// What the end-to-end tests share: an environment in which the loader sees only the layers a test
// names, and readers for the stand-in runtime's record and the demo's dump of received views.

#include <openxr/openxr.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/demo/RuntimeRecord.h"

namespace e2e {

using Environment = std::map<std::string, std::optional<std::string>>;

// The stand-in runtime, no user or system implicit layers, no explicit ones (XR_API_LAYER_PATH
// names an empty folder), the runtime's record in `recordPath`. `dir` must exist.
Environment IsolatedLoaderEnvironment(const std::string& dir, const std::string& recordPath);

// Sets or removes each variable of `environment` in this process, for tests that reach the loader
// here rather than in a child.
void ApplyToThisProcess(const Environment& environment);

struct CapturedView {
    uint32_t frame = 0;
    uint32_t view = 0;
    XrTime displayTime = 0;
    std::string file;
};

struct Record {
    std::vector<std::string> sessionStates;
    std::vector<std::string> referenceSpaces;  // whole lines
    std::vector<demo::RecordedViews> located;
    std::vector<demo::RecordedViews> submitted;
    std::vector<std::string> endFrameResults;
    std::vector<CapturedView> capturedViews;
};

// Reads the stand-in runtime's record; an unknown line is a test failure.
Record ReadRecord(const std::string& path);

// The session states the runtime records over a whole session, from creation to the exit that
// follows its set number of frames.
const std::vector<std::string>& FullSessionStates();

// The pose of a "reference_space ... pose=<7 numbers>" line.
std::optional<XrPosef> ReferenceSpacePose(const std::string& line);

struct ReceivedViews {
    double callSeconds = 0.0;
    demo::RecordedViews views;
};

// Reads the demo's --dump-views file; an unreadable line is a test failure.
std::vector<ReceivedViews> ReadViewDump(const std::string& path);

void ExpectPose(const XrPosef& actual, const XrPosef& expected, double tolerance,
                const std::string& what);

XrPosef MakePose(double px, double py, double pz, double qx, double qy, double qz, double qw);

}  // namespace e2e
