#include "tools/demo/Summary.h"

#include <cmath>
#include <cstdio>

#include "platform/Platform.h"
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

bool SamePose(const XrPosef& a, const XrPosef& b) {
    constexpr double kTolerance = 1e-6;
    const float pa[7] = {a.position.x,    a.position.y,    a.position.z,   a.orientation.x,
                         a.orientation.y, a.orientation.z, a.orientation.w};
    const float pb[7] = {b.position.x,    b.position.y,    b.position.z,   b.orientation.x,
                         b.orientation.y, b.orientation.z, b.orientation.w};
    for (int i = 0; i < 7; ++i) {
        if (std::fabs(static_cast<double>(pa[i]) - pb[i]) > kTolerance) {
            return false;
        }
    }
    return true;
}

// Received views paired with the runtime's own of the same display time (both in call order).
struct ChangeCount {
    size_t compared = 0;
    size_t changed = 0;
};

ChangeCount CountChanged(const std::vector<ViewSample>& received,
                         const std::vector<RecordedViews>& runtime) {
    ChangeCount count;
    size_t r = 0;
    for (const ViewSample& sample : received) {
        while (r < runtime.size() && runtime[r].displayTime < sample.displayTime) {
            ++r;
        }
        if (r == runtime.size() || runtime[r].displayTime != sample.displayTime) {
            continue;
        }
        ++count.compared;
        if (!SamePose(sample.left, runtime[r].left) || !SamePose(sample.right, runtime[r].right)) {
            ++count.changed;
        }
    }
    return count;
}

void PrintStats(const char* label, const EyeStats& stats) {
    std::printf("%s head (%.3f, %.3f, %.3f) heading %6.1f deg, eyes %.1f mm apart", label,
                stats.head.x, stats.head.y, stats.head.z, stats.headingDegrees, stats.separationMm);
}

// The layer writes its own lines to the same standard output from its frame thread; holding the
// stream keeps them from landing inside ours.
class StdoutHeld {
public:
    StdoutHeld() { platform::LockStream(stdout); }
    ~StdoutHeld() {
        std::fflush(stdout);
        platform::UnlockStream(stdout);
    }
    StdoutHeld(const StdoutHeld&) = delete;
    StdoutHeld& operator=(const StdoutHeld&) = delete;
};

}  // namespace

void PrintProgress(const ViewSample& received, uint64_t frames,
                   const std::optional<RecordedViews>& runtime) {
    const StdoutHeld held;
    std::printf("frame %5llu  ", static_cast<unsigned long long>(frames));
    if (runtime) {
        PrintStats("runtime:", Stats(runtime->left, runtime->right));
    } else {
        std::printf("runtime: pose not known");
    }
    std::printf("  |  ");
    PrintStats("received:", Stats(received.left, received.right));
    std::printf("\n");
}

void PrintSummary(const SummaryInput& input) {
    const StdoutHeld held;
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
        const ChangeCount count = CountChanged(run.samples, *input.runtimeLocated);
        std::printf(
            "  the layer changed the views of %zu of %zu frames (received vs the runtime's "
            "own)\n",
            count.changed, count.compared);
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
    if (input.displayError) {
        const DisplayErrorReport& error = *input.displayError;
        std::printf(
            "  error at display time: position median %.2f mm, 99th percentile %.2f mm; rotation "
            "median %.3f deg, 99th percentile %.3f deg (%zu frames; display %.1f ms after the "
            "call, median)\n",
            error.positionMedianMm, error.positionP99Mm, error.rotationMedianDegrees,
            error.rotationP99Degrees, error.frames, error.displayAheadMedianMs);
    } else {
        std::printf("  error at display time: not measured (no --path-start)\n");
    }
    std::printf("  tracking lost (views without the tracked bits): %zu of %zu frames\n",
                input.untrackedFrames, run.samples.size());
    if (!input.plotPath.empty()) {
        std::printf("  plot: %s\n", input.plotPath.c_str());
    } else {
        std::printf("  plot: not written\n");
    }
}

}  // namespace demo
