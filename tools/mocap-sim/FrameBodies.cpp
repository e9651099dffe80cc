#include "tools/mocap-sim/FrameBodies.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

int32_t NextId(int32_t id) {
    return static_cast<int32_t>(static_cast<uint32_t>(id) + 1u);
}

}  // namespace

std::vector<FrameBody> PlanFrameBodies(const SimOptions& options) {
    const size_t count = static_cast<size_t>(std::max(options.bodyCount, 1));
    std::vector<FrameBody> others;
    if (options.hands) {
        if (options.rightHandId != options.headsetId) {
            others.push_back({options.rightHandId, BodyRole::kRightHand});
        }
        if (options.leftHandId != options.headsetId && options.leftHandId != options.rightHandId) {
            others.push_back({options.leftHandId, BodyRole::kLeftHand});
        }
    }
    others.resize(std::min(others.size(), count - 1));
    const auto taken = [&others](int32_t id) {
        return std::any_of(others.begin(), others.end(),
                           [id](const FrameBody& body) { return body.id == id; });
    };
    int32_t propId = options.headsetId;
    while (others.size() < count - 1) {
        propId = NextId(propId);
        if (!taken(propId)) {
            others.push_back({propId, BodyRole::kProp});
        }
    }
    std::vector<FrameBody> frame = std::move(others);
    const size_t headsetIndex = count > 1 ? 1 : 0;
    frame.insert(frame.begin() + static_cast<std::ptrdiff_t>(headsetIndex),
                 {options.headsetId, BodyRole::kHeadset});
    return frame;
}
