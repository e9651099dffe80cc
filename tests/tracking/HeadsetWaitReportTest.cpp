#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tracking/HeadsetWaitReport.h"
#include "tracking/StreamBodyRecord.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// A frame record is large; one per test, on the heap.
std::unique_ptr<sFrameOfMocapData> FrameOf(const std::vector<int32_t>& ids) {
    auto frame = std::make_unique<sFrameOfMocapData>();
    frame->nRigidBodies = static_cast<int32_t>(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        frame->rigidBodies[i].id = ids[i];
    }
    return frame;
}

TEST(StreamBodyRecordTest, RecordsEachIdOnceInAscendingOrderWhateverItsSize) {
    StreamBodyRecord record;
    const StreamBodyWatch watch(record);
    record.Record(*FrameOf({4, 63, 64, -2, 1000000, 0}));
    record.Record(*FrameOf({64, 4, 1000000, -2, 2147483647}));
    const StreamBodyRecord::Seen seen = record.Snapshot();
    EXPECT_EQ(seen.frames, 2u);
    EXPECT_THAT(seen.ids, ElementsAre(-2, 0, 4, 63, 64, 1000000, 2147483647));
    EXPECT_FALSE(seen.moreIds);
}

TEST(StreamBodyRecordTest, AWaitStartsAfreshAndOverlappingWaitsShareTheRecord) {
    StreamBodyRecord record;
    EXPECT_FALSE(record.Watching());
    record.Record(*FrameOf({1, 2}));  // a frame from before the wait
    {
        const StreamBodyWatch first(record);
        record.Record(*FrameOf({3}));
        {
            // An overlapping wait keeps what the first has seen.
            const StreamBodyWatch second(record);
            record.Record(*FrameOf({4}));
            EXPECT_THAT(record.Snapshot().ids, ElementsAre(3, 4));
        }
        EXPECT_TRUE(record.Watching());
    }
    EXPECT_FALSE(record.Watching());
    const StreamBodyWatch next(record);
    EXPECT_EQ(record.Snapshot().frames, 0u);
    EXPECT_THAT(record.Snapshot().ids, IsEmpty());
}

TEST(StreamBodyRecordTest, IdsBeyondItsRoomAreCountedAsMore) {
    struct Case {
        const char* name;
        std::vector<int32_t> ids;
        size_t kept;
    };
    std::vector<int32_t> manyLarge;
    for (int32_t i = 0; i < StreamBodyRecord::kOtherSlots + 1; ++i) {
        manyLarge.push_back(100 + i);
    }
    std::vector<int32_t> manySmall;
    for (int32_t i = 0; i < StreamBodyRecord::kScannedBodies + 1; ++i) {
        manySmall.push_back(i % 64);
    }
    const Case cases[] = {
        {"more large ids than slots", manyLarge, StreamBodyRecord::kOtherSlots},
        {"more bodies in a frame than are looked at", manySmall, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamBodyRecord record;
        const StreamBodyWatch watch(record);
        record.Record(*FrameOf(c.ids));
        const StreamBodyRecord::Seen seen = record.Snapshot();
        EXPECT_EQ(seen.ids.size(), c.kept);
        EXPECT_TRUE(seen.moreIds);
    }
}

TEST(StreamBodyRecordTest, AFrameClaimingMoreBodiesThanTheRecordHoldsIsReadWithinIt) {
    StreamBodyRecord record;
    const StreamBodyWatch watch(record);
    std::unique_ptr<sFrameOfMocapData> frame = FrameOf({5});
    frame->nRigidBodies = 2147483647;
    record.Record(*frame);
    EXPECT_TRUE(record.Snapshot().moreIds);
    EXPECT_THAT(record.Snapshot().ids, testing::Contains(5));
}

TEST(StreamBodyRecordTest, FutureStampedFramesAreCountedOnlyDuringAWait) {
    StreamBodyRecord record;
    record.RecordFutureStamped();
    const StreamBodyWatch watch(record);
    record.RecordFutureStamped();
    record.RecordFutureStamped();
    EXPECT_EQ(record.Snapshot().futureStamped, 2u);
}

HeadsetWaitFacts Started(int32_t hmd, std::vector<int32_t> ids, uint32_t frames) {
    HeadsetWaitFacts facts;
    facts.started = true;
    facts.hmdRigidBodyId = hmd;
    facts.serverAddress = "10.0.0.5";
    facts.connected = true;
    facts.waitedSeconds = 5.04;
    facts.seen.ids = std::move(ids);
    facts.seen.frames = frames;
    return facts;
}

TEST(HeadsetWaitReportTest, TheLineSaysWhatTheStreamCarriedOrWhatIsKnownOfTheConnection) {
    struct Case {
        const char* name;
        HeadsetWaitFacts facts;
        std::string line;
    };
    HeadsetWaitFacts notStarted;
    notStarted.waitedSeconds = 4.96;
    HeadsetWaitFacts silentUnicast = Started(7, {}, 0);
    HeadsetWaitFacts refusedMulticast = Started(7, {}, 0);
    refusedMulticast.multicast = true;
    refusedMulticast.connected = false;
    refusedMulticast.discovering = true;
    HeadsetWaitFacts refusedUnicast = refusedMulticast;
    refusedUnicast.multicast = false;
    refusedUnicast.discovering = false;
    HeadsetWaitFacts aheadOfClock = Started(1, {1, 2}, 300);
    aheadOfClock.seen.futureStamped = 298;
    HeadsetWaitFacts withMore = Started(-3, {-7, 0, 64}, 2);
    withMore.seen.moreIds = true;
    const Case cases[] = {
        {"the headset missing", Started(7, {1, 2, 3, 4}, 1200),
         "headset rigid body 7 (hmdrbid) was not in the stream; the stream carries "
         "rigid bodies 1, 2, 3, 4 (1200 frames in 5.0 s)\n"},
        {"one body, one frame", Started(7, {3}, 1),
         "headset rigid body 7 (hmdrbid) was not in the stream; the stream carries "
         "rigid body 3 (1 frame in 5.0 s)\n"},
        {"frames without bodies", Started(7, {}, 12),
         "headset rigid body 7 (hmdrbid) was not in the stream; the stream carries no "
         "rigid bodies (12 frames in 5.0 s)\n"},
        {"ids past the record's room", withMore,
         "headset rigid body -3 (hmdrbid) was not in the stream; the stream carries "
         "rigid bodies -7, 0, 64 and more (2 frames in 5.0 s)\n"},
        {"the headset stamped ahead", aheadOfClock,
         "headset rigid body 1 (hmdrbid) was in the stream, but 298 of its frames were stamped "
         "ahead of this computer's clock and not used; the stream carries rigid bodies "
         "1, 2 (300 frames in 5.0 s)\n"},
        {"the headset carried but not stored", Started(2, {1, 2}, 1),
         "headset rigid body 2 (hmdrbid) was in the stream, but no pose of it was stored; "
         "the stream carries rigid bodies 1, 2 (1 frame in 5.0 s)\n"},
        {"connected, no frame", silentUnicast,
         "no motion-capture frame arrived from 10.0.0.5 in 5.0 s; unicast, connected to the "
         "server, but no frame came through\n"},
        {"not connected, discovering", refusedMulticast,
         "no motion-capture frame arrived from 10.0.0.5 in 5.0 s; multicast, not connected: the "
         "connection attempt failed; a server discovery is running\n"},
        {"not connected", refusedUnicast,
         "no motion-capture frame arrived from 10.0.0.5 in 5.0 s; unicast, not connected: the "
         "connection attempt failed\n"},
        {"not started", notStarted,
         "no motion-capture frame arrived in 5.0 s: the tracker is not started, no "
         "configuration was read\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DescribeHeadsetWaitFailure(c.facts), c.line);
    }
}

}  // namespace
