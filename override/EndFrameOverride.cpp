#include <array>
#include <cstddef>
#include <cstdio>
#include <memory>

#include "log/LogLine.h"
#include "log/LogOutput.h"
#include "override/PoseOverride.h"
#include "tracking/XrResultName.h"

namespace {

// Room for this many layers lives on the stack, so ordinary frames allocate nothing: 16 is the
// number of layers every runtime must accept. Larger frames get heap storage of their exact size.
constexpr size_t kInlineLayers = 16;

// A fixed-capacity array whose elements never move once added: the frame keeps their addresses.
template <typename T>
class FrameArray {
public:
    explicit FrameArray(size_t capacity)
        : heap_(capacity > kInlineLayers ? std::make_unique<T[]>(capacity) : nullptr),
          data_(heap_ ? heap_.get() : inline_.data()) {}
    FrameArray(const FrameArray&) = delete;
    FrameArray& operator=(const FrameArray&) = delete;

    T& Append(const T& value) {
        data_[size_] = value;
        return data_[size_++];
    }
    const T* Data() const { return data_; }

private:
    std::array<T, kInlineLayers> inline_;
    std::unique_ptr<T[]> heap_;
    T* data_;
    size_t size_ = 0;
};

using ViewPair = std::array<XrCompositionLayerProjectionView, 2>;

bool IsStereoProjection(const XrCompositionLayerBaseHeader* layer) {
    if (layer == nullptr || layer->type != XR_TYPE_COMPOSITION_LAYER_PROJECTION) {
        return false;
    }
    const auto* projection = reinterpret_cast<const XrCompositionLayerProjection*>(layer);
    return projection->viewCount == 2 && projection->views != nullptr;
}

// The runtime's own two view poses of the frame in the layer's space, as its compositor will
// expect them. PRIMARY_STEREO: the only configuration whose views the layer replaces. False, said
// once, when the runtime cannot give both poses.
bool LocateRuntimeViews(MocapTracker& tracker, PFN_xrLocateViews locateViews, XrSession session,
                        XrTime displayTime, XrSpace space, XrPosef (&poses)[2]) {
    XrViewLocateInfo info{XR_TYPE_VIEW_LOCATE_INFO};
    info.viewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
    info.displayTime = displayTime;
    info.space = space;
    XrViewState state{XR_TYPE_VIEW_STATE};
    std::array<XrView, 2> located{};
    located[0].type = located[1].type = XR_TYPE_VIEW;
    uint32_t count = 0;
    const XrResult result = locateViews(session, &info, &state, 2, &count, located.data());
    constexpr XrViewStateFlags kValid =
        XR_VIEW_STATE_ORIENTATION_VALID_BIT | XR_VIEW_STATE_POSITION_VALID_BIT;
    if (XR_FAILED(result) || count != 2 || (state.viewStateFlags & kValid) != kValid) {
        if (!tracker.runtimeViewsFallbackReported.exchange(true)) {
            LogLine().FileNote(XrResultName(result))
                << "The runtime gave no views of its own at xrEndFrame (result " << result
                << ", view state " << state.viewStateFlags
                << "): frames it cannot locate carry the tracked views\n";
        }
        return false;
    }
    poses[0] = located[0].pose;
    poses[1] = located[1].pose;
    return true;
}

// A change of the compositor's head, for the log file alone: the application's output stays as it
// was, and a flickering runtime would fill it.
void NoteSwitch(const RuntimeViewHold::Frame& frame) {
    char line[192];
    const bool fellBack = frame.views == RuntimeViewHold::Views::Tracked;
    const uint32_t frames = fellBack ? frame.framesWithout : frame.framesBefore;
    const char* const plural = frames == 1 ? "" : "s";
    const int written =
        fellBack ? std::snprintf(line, sizeof(line),
                                 "Runtime views: none for %u frame%s in a row; the compositor gets "
                                 "the tracked views (switch %u)\n",
                                 frames, plural, frame.switches)
                 : std::snprintf(line, sizeof(line),
                                 "Runtime views: the compositor gets the runtime's own views "
                                 "again, after %u frame%s of the tracked views (switch %u)\n",
                                 frames, plural, frame.switches);
    if (written > 0 && static_cast<size_t>(written) < sizeof(line)) {
        WriteLogFileLine(line, static_cast<size_t>(written));
    }
}

// The runtime's views for a stereo layer, or, a few frames after it last gave them, the last good
// ones (RuntimeViewHold.h). False when the layer is to carry the tracked views.
bool CarryRuntimeViews(MocapTracker& tracker, PFN_xrLocateViews locateViews, XrSession session,
                       XrTime displayTime, XrSpace space, ViewPair& views) {
    XrPosef poses[2]{};
    const bool located =
        LocateRuntimeViews(tracker, locateViews, session, displayTime, space, poses);
    const RuntimeViewHold::Frame frame =
        tracker.runtimeViewHold.Next(session, space, displayTime, located, poses);
    if (frame.switched) {
        NoteSwitch(frame);
    }
    if (frame.views == RuntimeViewHold::Views::Tracked) {
        return false;
    }
    views[0].pose = poses[0];
    views[1].pose = poses[1];
    return true;
}

}  // namespace

XrResult EndFrameAtTrackedPose(MocapTracker& tracker, PFN_xrEndFrame next, XrSession session,
                               const XrFrameEndInfo* frameEndInfo, DisplayClock clock,
                               PFN_xrLocateViews runtimeViews) {
    if (frameEndInfo == nullptr ||
        (frameEndInfo->layerCount != 0 && frameEndInfo->layers == nullptr)) {
        return next(session, frameEndInfo);  // the runtime reports the invalid call
    }
    const uint32_t count = frameEndInfo->layerCount;
    FrameArray<XrCompositionLayerProjection> layerCopies(count);
    FrameArray<ViewPair> viewCopies(count);
    FrameArray<const XrCompositionLayerBaseHeader*> layerList(count);

    for (uint32_t i = 0; i < count; ++i) {
        const XrCompositionLayerBaseHeader* layer = frameEndInfo->layers[i];
        if (!IsStereoProjection(layer)) {
            layerList.Append(layer);
            continue;
        }
        const auto* projection = reinterpret_cast<const XrCompositionLayerProjection*>(layer);
        XrCompositionLayerProjection& layerCopy = layerCopies.Append(*projection);
        ViewPair& views = viewCopies.Append({projection->views[0], projection->views[1]});
        if (runtimeViews == nullptr ||
            !CarryRuntimeViews(tracker, runtimeViews, session, frameEndInfo->displayTime,
                               projection->space, views)) {
            tracker.OverrideViewPoses(views[0].pose, views[1].pose,
                                      HmdPoseFor(tracker, clock, frameEndInfo->displayTime));
        }
        layerCopy.views = views.data();
        layerList.Append(reinterpret_cast<const XrCompositionLayerBaseHeader*>(&layerCopy));
    }

    XrFrameEndInfo replaced = *frameEndInfo;
    replaced.layers = count == 0 ? frameEndInfo->layers : layerList.Data();
    return next(session, &replaced);
}
