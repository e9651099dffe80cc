#include "tools/demo/ViewDump.h"

#include <cstdio>

namespace demo {
namespace {

void PrintPose(std::FILE* out, const XrPosef& pose) {
    // Nine significant digits give back the same single-precision floats.
    std::fprintf(out, "%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g", pose.position.x, pose.position.y,
                 pose.position.z, pose.orientation.x, pose.orientation.y, pose.orientation.z,
                 pose.orientation.w);
}

}  // namespace

bool WriteViewDump(const std::string& file, const std::vector<ViewSample>& samples) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) {
        return false;
    }
    for (const ViewSample& sample : samples) {
        std::fprintf(out, "received call_seconds=%.9f display_time=%lld view0=", sample.callSeconds,
                     static_cast<long long>(sample.displayTime));
        PrintPose(out, sample.left);
        std::fprintf(out, " view1=");
        PrintPose(out, sample.right);
        std::fprintf(out, "\n");
    }
    return std::fclose(out) == 0;
}

}  // namespace demo
