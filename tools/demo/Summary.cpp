#include "tools/demo/Summary.h"

#include <cmath>
#include <cstdio>

#include "tools/demo/PoseMath.h"

namespace demo {
namespace {

struct EyeStats {
    double separationMm = 0.0;
    double headingDegrees = 0.0;
    Vec3 head;
};

EyeStats Stats(const XrPosef& left, const XrPosef& right) {
    return {Distance(ToVec3(left.position), ToVec3(right.position)) * 1000.0,
            Heading(left.orientation) * kDegrees, Midpoint(left.position, right.position)};
}

template <typename Views>
EyeStats Mean(const std::vector<Views>& all) {
    EyeStats mean;
    double s = 0.0;
    double c = 0.0;
    for (const Views& views : all) {
        const EyeStats one = Stats(views.left, views.right);
        mean.separationMm += one.separationMm;
        s += std::sin(one.headingDegrees / kDegrees);
        c += std::cos(one.headingDegrees / kDegrees);
        mean.head.x += one.head.x;
        mean.head.y += one.head.y;
        mean.head.z += one.head.z;
    }
    const auto n = static_cast<double>(all.size());
    mean.separationMm /= n;
    mean.headingDegrees = std::atan2(s, c) * kDegrees;
    mean.head = {mean.head.x / n, mean.head.y / n, mean.head.z / n};
    return mean;
}

void PrintStats(const char* label, const EyeStats& stats) {
    std::printf("%s head (%.3f, %.3f, %.3f) heading %6.1f deg, eyes %.1f mm apart", label,
                stats.head.x, stats.head.y, stats.head.z, stats.headingDegrees, stats.separationMm);
}

}  // namespace

void PrintProgress(const ViewSample& received, uint64_t frames,
                   const std::optional<RecordedViews>& runtime) {
    std::printf("frame %5llu  ", static_cast<unsigned long long>(frames));
    if (runtime) {
        PrintStats("runtime:", Stats(runtime->left, runtime->right));
    } else {
        std::printf("runtime: pose not known");
    }
    std::printf("  |  ");
    PrintStats("received:", Stats(received.left, received.right));
    std::printf("\n");
    std::fflush(stdout);
}

void PrintSummary(const SummaryInput& input) {
    const RunResult& run = *input.run;
    std::printf("\nSummary\n");
    std::printf("  frames: %llu, views located: %zu, projection layers submitted: %llu\n",
                static_cast<unsigned long long>(run.frames), run.samples.size(),
                static_cast<unsigned long long>(run.layersSubmitted));
    if (!run.samples.empty()) {
        std::printf("  received (mean):    ");
        PrintStats("", Mean(run.samples));
        std::printf("\n");
    }
    if (!input.runtimeLocated->empty()) {
        std::printf("  runtime's own:      ");
        PrintStats("", Mean(*input.runtimeLocated));
        std::printf("\n");
        std::printf("  the runtime received %zu projection layers\n",
                    input.runtimeSubmitted->size());
    } else {
        std::printf("  runtime's own pose: not known (no runtime record)\n");
    }
    if (input.lag) {
        const LagReport& lag = *input.lag;
        if (lag.matched == 0) {
            std::printf(
                "  lag behind the simulator's path: no received pose follows the path "
                "(median distance %.3f m)\n",
                lag.medianResidualMetres);
        } else {
            std::printf(
                "  lag behind the simulator's path: median %.1f ms, 99th percentile %.1f ms "
                "(%zu of %zu poses matched; alignment yaw %.1f deg)\n",
                lag.medianSeconds * 1000.0, lag.p99Seconds * 1000.0, lag.matched, lag.total,
                lag.alignmentYaw * kDegrees);
        }
    } else {
        std::printf("  lag behind the simulator's path: not measured (no --path-start)\n");
    }
    if (!input.plotPath.empty()) {
        std::printf("  plot: %s\n", input.plotPath.c_str());
    } else {
        std::printf("  plot: not written\n");
    }
}

}  // namespace demo
