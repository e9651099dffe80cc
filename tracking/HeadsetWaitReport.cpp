#include "tracking/HeadsetWaitReport.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "tracking/MocapTracker.h"

namespace {

void PutBodies(std::ostringstream& text, const StreamBodyRecord::Seen& seen, double seconds) {
    if (seen.ids.empty()) {
        text << "the stream carries no rigid bodies";
    } else {
        text << "the stream carries rigid bod" << (seen.ids.size() == 1 ? "y " : "ies ");
        for (size_t i = 0; i < seen.ids.size(); ++i) {
            text << (i == 0 ? "" : ", ") << seen.ids[i];
        }
    }
    if (seen.moreIds) {
        text << " and more";
    }
    text << " (" << seen.frames << " frame" << (seen.frames == 1 ? "" : "s") << " in " << seconds
         << " s)";
}

void PutConnection(std::ostringstream& text, const HeadsetWaitFacts& facts) {
    text << (facts.multicast ? "multicast" : "unicast");
    if (facts.connected) {
        text << ", connected to the server, but no frame came through";
    } else {
        text << ", not connected: the connection attempt failed";
    }
    if (facts.discovering) {
        text << "; a server discovery is running";
    }
}

}  // namespace

HeadsetWaitFacts GatherHeadsetWaitFacts(const MocapTracker& tracker, double waitedSeconds) {
    HeadsetWaitFacts facts;
    // The settings are written before initialised is raised, so they may be read once it is.
    facts.started = tracker.initialised.load();
    if (facts.started) {
        facts.hmdRigidBodyId = tracker.settingsAsRead.hmdRigidBodyId;
        facts.serverAddress = tracker.settingsAsRead.serverAddress;
        facts.multicast = tracker.settingsAsRead.connectionType == 0;
    }
    facts.connected = tracker.client.load() != nullptr;
    facts.discovering = tracker.discoveryActive.load();
    facts.waitedSeconds = waitedSeconds;
    facts.seen = tracker.streamBodies.Snapshot();
    return facts;
}

std::string DescribeHeadsetWaitFailure(const HeadsetWaitFacts& facts) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1);
    const StreamBodyRecord::Seen& seen = facts.seen;
    if (!facts.started) {
        text << "no motion-capture frame arrived in " << facts.waitedSeconds
             << " s: the tracker is not started, no configuration was read";
    } else if (seen.frames == 0) {
        text << "no motion-capture frame arrived from " << facts.serverAddress << " in "
             << facts.waitedSeconds << " s; ";
        PutConnection(text, facts);
    } else {
        text << "headset rigid body " << facts.hmdRigidBodyId << " (hmdrbid) ";
        // Frame intake looks at every body for the headset, the record only at the first ones.
        if (seen.futureStamped > 0) {
            text << "was in the stream, but " << seen.futureStamped
                 << " of its frames were stamped ahead of this computer's clock and not used";
        } else if (std::binary_search(seen.ids.begin(), seen.ids.end(), facts.hmdRigidBodyId)) {
            text << "was in the stream, but no pose of it was stored";
        } else {
            text << "was not in the stream";
        }
        text << "; ";
        PutBodies(text, seen, facts.waitedSeconds);
    }
    text << '\n';
    return text.str();
}
