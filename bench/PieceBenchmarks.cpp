// The pieces of the pose hooks' work, each timed alone, so that what hook_benchmarks reports can
// be told apart: the "Position set" line (standard output, the log file's queue), the cached
// next function, the pose store, the view-pose math and the clock the options read.

#include <benchmark/benchmark.h>

#include <atomic>
#include <iostream>
#include <ostream>
#include <string>

#include "AllocationCounter.h"
#include "LayerOutputAside.h"
#include "layer/LayerObjectCache.h"
#include "log/LogOutput.h"
#include "log/LogQueue.h"
#include "override/TrackedPoseAt.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

namespace {

constexpr char kLine[] = "Position set\n";

template <typename Call>
void Counted(benchmark::State& state, Call call) {
    const uint64_t before = AllocationCount();
    for (auto _ : state) {
        call();
    }
    state.counters["allocs/call"] = benchmark::Counter(
        static_cast<double>(AllocationCount() - before) / static_cast<double>(state.iterations()));
}

// A tracker holding one pose, its yaw correction already captured as after the first frame.
MocapTracker* MakeTracker() {
    auto* made = new MocapTracker;
    made->ipd = 64.0f;
    made->initialised = true;
    made->StorePose({1, 1.5f, 2}, {0, 0.2588190f, 0, 0.9659258f});
    XrPosef first{{0, 0.2f, 0, 0.98f}, {-0.032f, 1.7f, 0}};
    XrPosef second = first;
    made->OverrideViewPoses(first, second);
    return made;
}

MocapTracker& PreparedTracker() {
    static MocapTracker* const tracker = MakeTracker();
    return *tracker;
}

void StandardOutputWrite(benchmark::State& state) {
    Counted(state, [] { std::cout.write(kLine, sizeof(kLine) - 1); });
}

// The writer thread drains every 50 ms; the hooks fill the queue's slots far sooner than that
// when called back to back, so most of hook_benchmarks' pushes find it full.
void QueuePushWithRoom(benchmark::State& state) {
    static LogQueue queue;
    size_t pushed = 0;
    Counted(state, [&] {
        queue.Push(kLine, sizeof(kLine) - 1);
        if (++pushed == LogQueue::kSlots) {
            state.PauseTiming();
            while (queue.PopInto([](const char*, size_t) {})) {
            }
            pushed = 0;
            state.ResumeTiming();
        }
    });
}

void QueuePushWhenFull(benchmark::State& state) {
    static LogQueue queue;
    for (size_t i = 0; i < LogQueue::kSlots; ++i) {
        queue.Push(kLine, sizeof(kLine) - 1);
    }
    Counted(state, [] { queue.Push(kLine, sizeof(kLine) - 1); });
}

// The whole line as the hooks write it: standard output and the process-wide log file's queue.
void WholeLine(benchmark::State& state) {
    Counted(state, [] { LogText(kLine); });
}

void CachedNextFunction(benchmark::State& state) {
    static LayerObjectCache<PFN_xrVoidFunction> cache;
    Counted(state, [] {
        benchmark::DoNotOptimize(
            cache.Get([](const OpenXRLayer*) { return PFN_xrVoidFunction{}; }));
    });
}

void ReadPose(benchmark::State& state) {
    const MocapTracker& tracker = PreparedTracker();
    Counted(state, [&] { benchmark::DoNotOptimize(tracker.ReadPose()); });
}

void PoseForDisplayTime(benchmark::State& state) {
    MocapTracker& tracker = PreparedTracker();
    Counted(state, [&] { benchmark::DoNotOptimize(HmdPoseFor(tracker, nullptr, 0)); });
}

// The head and both eyes from a pose, with its "Position set" line.
void OverrideViewPoses(benchmark::State& state) {
    MocapTracker& tracker = PreparedTracker();
    const HmdPose pose = tracker.ReadPose();
    XrPosef first{}, second{};
    Counted(state, [&] {
        tracker.OverrideViewPoses(first, second, pose);
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(second);
    });
}

void HeadPoseMath(benchmark::State& state) {
    const MocapTracker& tracker = PreparedTracker();
    const HmdPose pose = tracker.ReadPose();
    XrPosef head{};
    Counted(state, [&] {
        benchmark::DoNotOptimize(tracker.TrackedHeadPose(pose, &head));
        benchmark::DoNotOptimize(head);
    });
}

void EyeOffsets(benchmark::State& state) {
    const XrQuaternionf q = PreparedTracker().ReadPose().orientation;
    Counted(state, [&] {
        benchmark::DoNotOptimize(MocapTracker::EyeOffset(q, -0.032f));
        benchmark::DoNotOptimize(MocapTracker::EyeOffset(q, 0.032f));
    });
}

// Read-modify-write against a plain acquire load of a flag that is already set.
void CompareExchangeOfSetFlag(benchmark::State& state) {
    static std::atomic<int> flag{2};
    Counted(state, [] {
        int expected = 0;
        benchmark::DoNotOptimize(flag.compare_exchange_strong(expected, 1));
    });
}

void AcquireLoadOfSetFlag(benchmark::State& state) {
    static std::atomic<int> flag{2};
    Counted(state, [] { benchmark::DoNotOptimize(flag.load(std::memory_order_acquire)); });
}

// Prediction and the loss check each read it once per call.
void MonotonicClock(benchmark::State& state) {
    Counted(state, [] { benchmark::DoNotOptimize(platform::MonotonicSeconds()); });
}

// With every option on: eight frames just past, the loss check at one second.
MocapTracker& TrackerWithOptions() {
    static MocapTracker* const tracker = [] {
        MocapTracker& made = *MakeTracker();
        made.options.Set({true, 50.0f, true, 1000.0f});
        const double now = platform::MonotonicSeconds();
        for (int i = 7; i >= 0; --i) {
            made.headset.history.Append({now - i / 240.0,
                                         {1.0f - 0.001f * static_cast<float>(i), 1.5f, 2},
                                         {0, 0.2588190f, 0, 0.9659258f}});
        }
        made.headset.newestFrameTime = now;
        return &made;
    }();
    return *tracker;
}

// The display time on the monotonic clock, 15 ms ahead, as the runtime's conversion gives it.
bool DisplayClockAhead(XrTime, double* seconds) {
    *seconds = platform::MonotonicSeconds() + 0.015;
    return true;
}

void PoseHistoryRead(benchmark::State& state) {
    const MocapTracker& tracker = TrackerWithOptions();
    PoseHistory::Snapshot snapshot;
    Counted(state, [&] {
        benchmark::DoNotOptimize(tracker.headset.history.Read(&snapshot));
        benchmark::DoNotOptimize(snapshot);
    });
}

// The clock read is the conversion's here, so it counts twice, as in the hooks.
void PredictedPose(benchmark::State& state) {
    MocapTracker& tracker = TrackerWithOptions();
    Counted(state, [&] { benchmark::DoNotOptimize(HmdPoseFor(tracker, &DisplayClockAhead, 0)); });
}

void TrackingLossCheck(benchmark::State& state) {
    const MocapTracker& tracker = TrackerWithOptions();
    Counted(state, [&] { benchmark::DoNotOptimize(TrackingLost(tracker)); });
}

BENCHMARK(StandardOutputWrite)->Name("line/standard output write");
BENCHMARK(QueuePushWithRoom)->Name("line/queue push with room");
BENCHMARK(QueuePushWhenFull)->Name("line/queue push when full");
BENCHMARK(WholeLine)->Name("line/whole (LogText)");
BENCHMARK(CachedNextFunction)->Name("frame/cached next function");
BENCHMARK(ReadPose)->Name("pose/ReadPose");
BENCHMARK(PoseForDisplayTime)->Name("pose/HmdPoseFor, no options");
BENCHMARK(OverrideViewPoses)->Name("pose/OverrideViewPoses with its line");
BENCHMARK(HeadPoseMath)->Name("pose/head pose math");
BENCHMARK(EyeOffsets)->Name("pose/two eye offsets");
BENCHMARK(CompareExchangeOfSetFlag)->Name("atomic/compare-exchange of a set flag");
BENCHMARK(AcquireLoadOfSetFlag)->Name("atomic/acquire load of a set flag");
BENCHMARK(MonotonicClock)->Name("options/monotonic clock read");
BENCHMARK(PoseHistoryRead)->Name("options/PoseHistory::Read of eight frames");
BENCHMARK(PredictedPose)->Name("options/HmdPoseFor, predicting");
BENCHMARK(TrackingLossCheck)->Name("options/TrackingLost, check on");

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::BenchmarkReporter* display = benchmark::CreateDefaultDisplayReporter();
    // As in hook_benchmarks, with the log file's writer thread running: a second thread is what
    // makes standard output's lock a real one.
    LayerOutputAside output("piece_benchmarks");
    if (!output.Ready()) {
        return 1;
    }
    display->SetOutputStream(&output.Reports());
    benchmark::RunSpecifiedBenchmarks(display);
    benchmark::Shutdown();
    return 0;
}
