#include <array>
#include <cstddef>
#include <memory>

#include "override/PoseOverride.h"

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

}  // namespace

XrResult EndFrameAtTrackedPose(MocapTracker& tracker, PFN_xrEndFrame next, XrSession session,
                               const XrFrameEndInfo* frameEndInfo, DisplayClock clock) {
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
        tracker.OverrideViewPoses(views[0].pose, views[1].pose,
                                  HmdPoseFor(tracker, clock, frameEndInfo->displayTime));
        layerCopy.views = views.data();
        layerList.Append(reinterpret_cast<const XrCompositionLayerBaseHeader*>(&layerCopy));
    }

    XrFrameEndInfo replaced = *frameEndInfo;
    replaced.layers = count == 0 ? frameEndInfo->layers : layerList.Data();
    return next(session, &replaced);
}
