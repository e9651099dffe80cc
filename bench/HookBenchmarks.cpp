// What the layer adds to the two per-frame OpenXR calls: each hook against the same next
// function called directly, in one run, with the heap allocations per call.

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "AllocationCounter.h"
#include "LayerOutputAside.h"
#include "OverheadReporter.h"
#include "layer/OpenXRLayer.h"
#include "layer/OptionalInstanceCreation.h"
#include "layer/PoseHooks.h"
#include "platform/Platform.h"
#include "tracking/MocapTracker.h"

namespace {

constexpr LayerOptions kEveryOption{true, 50.0f, true, 1000.0f};
// The runtime's views in xrEndFrame alone: it replaces the tracked views there, so it is timed on
// its own rather than among every option.
constexpr LayerOptions kRuntimeViewsOnly{false, 50.0f, false, 0.0f, true};

enum class Options { kNone, kEvery, kRuntimeViews };
const XrSpace kViewSpace = reinterpret_cast<XrSpace>(0x51);
const XrSpace kLocalSpace = reinterpret_cast<XrSpace>(0x52);

// A display time 15 ms ahead, as applications ask for, on the runtime's clock.
XrTime DisplayTimeAhead() {
    return static_cast<XrTime>((platform::MonotonicSeconds() + 0.015) * 1e9);
}

XrResult XRAPI_CALL RuntimeLocateViews(XrSession, const XrViewLocateInfo*, XrViewState* state,
                                       uint32_t capacity, uint32_t* count, XrView* views) {
    *count = 2;
    state->viewStateFlags = XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT;
    for (uint32_t i = 0; i < capacity && i < 2; ++i) {
        views[i].pose = {{0, 0.2f, 0, 0.98f}, {i == 0 ? -0.032f : 0.032f, 1.7f, 0}};
    }
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeEndFrame(XrSession, const XrFrameEndInfo* info) {
    benchmark::DoNotOptimize(info->layers[0]);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeLocateSpace(XrSpace, XrSpace, XrTime, XrSpaceLocation* location) {
    location->pose = {{0, 0, 0, 1}, {0, 1.7f, 0}};
    location->locationFlags =
        XR_SPACE_LOCATION_ORIENTATION_VALID_BIT | XR_SPACE_LOCATION_POSITION_VALID_BIT;
    return XR_SUCCESS;
}

// The runtime's clock is the monotonic clock in nanoseconds, as the stand-in runtime's.
XrResult XRAPI_CALL RuntimeConvertTime(XrInstance, XrTime time, timespec* converted) {
    converted->tv_sec = static_cast<time_t>(time / 1'000'000'000);
    converted->tv_nsec = static_cast<long>(time % 1'000'000'000);
    return XR_SUCCESS;
}

XrResult XRAPI_CALL RuntimeGetInstanceProcAddr(XrInstance, const char* name,
                                               PFN_xrVoidFunction* function) {
    if (std::strcmp(name, "xrConvertTimeToTimespecTimeKHR") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&RuntimeConvertTime);
    } else if (std::strcmp(name, "xrLocateSpace") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&RuntimeLocateSpace);
    } else if (std::strcmp(name, "xrLocateViews") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&RuntimeLocateViews);
    } else if (std::strcmp(name, "xrEndFrame") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&RuntimeEndFrame);
    } else {
        *function = nullptr;
        return XR_ERROR_FUNCTION_UNSUPPORTED;
    }
    return XR_SUCCESS;
}

// A layer object over the fake runtime and a started tracker holding one pose.
void PrepareLayer() {
    static bool prepared = false;
    if (prepared) {
        return;
    }
    prepared = true;
    std::vector<HookEntry> hooks = BuildHookList();
    for (HookEntry& optional : OptionalHookList(kEveryOption)) {
        hooks.push_back(std::move(optional));
    }
    auto* layer = new OpenXRLayer(&RuntimeGetInstanceProcAddr, hooks);
    layer->ResolveNextFunctions(XR_NULL_HANDLE);
    layer->ResolveTimeConversion(XR_NULL_HANDLE);
    MocapTracker& tracker = MocapTracker::Instance();
    tracker.ipd = 64.0f;
    tracker.initialised = true;
    tracker.StorePose({1, 1.5f, 2}, {0, 0.2588190f, 0, 0.9659258f});
}

// Sets the options for one benchmark; with every option on, a history of eight frames just past,
// so that every call predicts, and a VIEW space to locate.
void SetOptions(Options options) {
    MocapTracker& tracker = MocapTracker::Instance();
    const bool on = options == Options::kEvery;
    tracker.options.Set(on                                  ? kEveryOption
                        : options == Options::kRuntimeViews ? kRuntimeViewsOnly
                                                            : LayerOptions{});
    if (on) {
        const double now = platform::MonotonicSeconds();
        for (int i = 7; i >= 0; --i) {
            const double captured = now - i / 240.0;
            tracker.headset.history.Append({captured,
                                            {1.0f - 0.001f * static_cast<float>(i), 1.5f, 2},
                                            {0, 0.2588190f, 0, 0.9659258f},
                                            captured});
        }
        tracker.headset.newestFrameTime = now;
        tracker.viewSpaces.Add(kViewSpace, XR_NULL_HANDLE, {{0, 0, 0, 1}, {0, 0, 0}});
        tracker.viewSpaces.AddWorldSpace(kLocalSpace, XR_NULL_HANDLE);
    } else {
        tracker.viewSpaces.Remove(kViewSpace);
        tracker.viewSpaces.Remove(kLocalSpace);
    }
}

template <typename Call>
void RunCounted(benchmark::State& state, Options options, Call call) {
    PrepareLayer();
    SetOptions(options);
    call();  // the first call captures the yaw correction; time the steady state
    const uint64_t before = AllocationCount();
    for (auto _ : state) {
        call();
    }
    state.counters["allocs/call"] = benchmark::Counter(
        static_cast<double>(AllocationCount() - before) / static_cast<double>(state.iterations()));
    SetOptions(Options::kNone);
}

// Direct and hooked calls alike go through a pointer the compiler cannot see through, as the
// loader's dispatch does: otherwise the direct call is inlined into nothing.
template <PFN_xrLocateViews Locate, Options With = Options::kNone>
void LocateViews(benchmark::State& state) {
    PFN_xrLocateViews locate = Locate;
    benchmark::DoNotOptimize(locate);
    XrViewLocateInfo info{XR_TYPE_VIEW_LOCATE_INFO};
    info.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
    info.displayTime = DisplayTimeAhead();
    XrViewState viewState{XR_TYPE_VIEW_STATE};
    XrView views[2] = {{XR_TYPE_VIEW}, {XR_TYPE_VIEW}};
    uint32_t count = 0;
    RunCounted(state, With, [&] {
        benchmark::DoNotOptimize(locate(XR_NULL_HANDLE, &info, &viewState, 2, &count, views));
        benchmark::ClobberMemory();
    });
}

template <PFN_xrEndFrame End, Options With = Options::kNone>
void EndFrame(benchmark::State& state) {
    PFN_xrEndFrame end = End;
    benchmark::DoNotOptimize(end);
    XrCompositionLayerProjectionView views[2] = {{XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW},
                                                 {XR_TYPE_COMPOSITION_LAYER_PROJECTION_VIEW}};
    XrCompositionLayerProjection projection{XR_TYPE_COMPOSITION_LAYER_PROJECTION};
    projection.viewCount = 2;
    projection.views = views;
    XrCompositionLayerQuad quad{XR_TYPE_COMPOSITION_LAYER_QUAD};
    const XrCompositionLayerBaseHeader* layers[] = {
        reinterpret_cast<const XrCompositionLayerBaseHeader*>(&projection),
        reinterpret_cast<const XrCompositionLayerBaseHeader*>(&quad)};
    XrFrameEndInfo frame{XR_TYPE_FRAME_END_INFO};
    frame.displayTime = DisplayTimeAhead();
    frame.layerCount = 2;
    frame.layers = layers;
    RunCounted(state, With, [&] { benchmark::DoNotOptimize(end(XR_NULL_HANDLE, &frame)); });
}

// Only with the options: without them the layer does not intercept xrLocateSpace.
template <PFN_xrLocateSpace Locate>
void LocateSpace(benchmark::State& state) {
    PFN_xrLocateSpace locate = Locate;
    benchmark::DoNotOptimize(locate);
    XrSpaceLocation location{XR_TYPE_SPACE_LOCATION};
    const XrTime time = DisplayTimeAhead();
    RunCounted(state, Options::kEvery, [&] {
        benchmark::DoNotOptimize(locate(kViewSpace, kLocalSpace, time, &location));
        benchmark::ClobberMemory();
    });
}

// The frame thread's work per motion-capture frame: find the headset, store its pose, log it.
void FrameIntake(benchmark::State& state) {
    MocapTracker tracker;
    tracker.headset.id = 3;
    auto client = std::make_unique<OrvixClient>();
    tracker.client = client.get();
    auto frame = std::make_unique<sFrameOfMocapData>();
    frame->nRigidBodies = 4;
    for (int32_t i = 0; i < frame->nRigidBodies; ++i) {
        frame->rigidBodies[i] = {i + 1, 1.0f, 1.5f, 2.0f, 0.0f, 0.2588190f, 0.0f, 0.9659258f};
    }
    frame->cameraMidExposureTimestamp = 1;  // long past: the frame is accepted
    // Each frame captured a microsecond after the one before, as a stream's are: the intake leaves
    // out a frame captured no later than the newest, which would time only its refusal.
    RunCounted(state, Options::kNone, [&] {
        frame->cameraMidExposureTimestamp += 1000;
        tracker.OnFrame(frame.get());
    });
    tracker.client = nullptr;
}

// Without options, the default; then with every option on.
BENCHMARK(FrameIntake)->Name("frame intake");
BENCHMARK(LocateViews<&RuntimeLocateViews>)->Name("xrLocateViews/direct");
BENCHMARK(LocateViews<&HookLocateViews>)->Name("xrLocateViews/hook");
BENCHMARK(EndFrame<&RuntimeEndFrame>)->Name("xrEndFrame/direct");
BENCHMARK(EndFrame<&HookEndFrame>)->Name("xrEndFrame/hook");
BENCHMARK(LocateViews<&RuntimeLocateViews, Options::kEvery>)
    ->Name("xrLocateViews, options on/direct");
BENCHMARK(LocateViews<&HookLocateViews, Options::kEvery>)->Name("xrLocateViews, options on/hook");
BENCHMARK(EndFrame<&RuntimeEndFrame, Options::kEvery>)->Name("xrEndFrame, options on/direct");
BENCHMARK(EndFrame<&HookEndFrame, Options::kEvery>)->Name("xrEndFrame, options on/hook");
BENCHMARK(EndFrame<&RuntimeEndFrame, Options::kRuntimeViews>)
    ->Name("xrEndFrame, runtime views/direct");
BENCHMARK(EndFrame<&HookEndFrame, Options::kRuntimeViews>)->Name("xrEndFrame, runtime views/hook");
BENCHMARK(LocateSpace<&RuntimeLocateSpace>)->Name("xrLocateSpace of VIEW, options on/direct");
BENCHMARK(LocateSpace<&HookLocateSpace>)->Name("xrLocateSpace of VIEW, options on/hook");

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::BenchmarkReporter* display = benchmark::CreateDefaultDisplayReporter();
    LayerOutputAside output("hook_benchmarks");
    if (!output.Ready()) {
        return 1;
    }
    display->SetOutputStream(&output.Reports());
    OverheadReporter reporter(display);
    reporter.SetOutputStream(&output.Reports());

    benchmark::RunSpecifiedBenchmarks(&reporter);
    output.Reports().flush();
    reporter.PrintOverheads(
        std::cerr,
        {"xrLocateViews", "xrEndFrame", "xrLocateViews, options on", "xrEndFrame, options on",
         "xrLocateSpace of VIEW, options on", "xrEndFrame, runtime views"});
    std::cerr << "log file: "
              << (output.LogPath().empty() ? "none (could not be opened)" : output.LogPath())
              << '\n';
    benchmark::Shutdown();
    return 0;
}
