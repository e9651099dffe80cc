#include "tracking/TrackedBody.h"

namespace {

// Reads of the store a pose read may take when frames overtake them. Each costs a few loads, so
// even this many stay well under a microsecond; frames overtake a read only while its thread is
// preempted, and rarely twice in a row.
constexpr int kPoseReadRounds = 16;

}  // namespace

HmdPose TrackedBody::ReadPose() const {
    // A read the frames overtook is taken again, so that a stored pose is not given as none; only
    // one overtaken every time within the bound gives none, as before the first frame.
    for (int round = 0; round < kPoseReadRounds; ++round) {
        HmdPose pose{};
        if (poses.Read(&pose)) {
            return pose;
        }
    }
    return HmdPose{};
}
