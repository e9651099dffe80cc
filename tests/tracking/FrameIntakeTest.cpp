#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <vector>

#include "TrackerFixture.h"
#include "platform/Platform.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

struct Body {
    int32_t id;
    float x, y, z, qx, qy, qz, qw;
};

// A frame holding the given bodies and host timestamps; everything else is left zero.
scripted::FrameFiller Frame(std::vector<Body> bodies, uint64_t midExposure = 1000,
                            uint64_t received = 2000) {
    return [=](sFrameOfMocapData& frame) {
        frame.nRigidBodies = static_cast<int32_t>(bodies.size());
        for (size_t i = 0; i < bodies.size(); ++i) {
            const Body& b = bodies[i];
            frame.rigidBodies[i] =
                RigidBodyEntry{b.id, b.x, b.y, b.z, b.qx, b.qy, b.qz, b.qw, 0.0f, 0};
        }
        frame.cameraMidExposureTimestamp = midExposure;
        frame.cameraDataReceivedTimestamp = received;
    };
}

class FrameIntakeTest : public TrackerTest {
protected:
    void SetUp() override {
        TrackerTest::SetUp();
        Connect(0);
    }

    // Delivers one frame on the library's frame thread and returns what the tracker printed.
    std::string Deliver(const scripted::FrameFiller& fill) {
        bool delivered = false;
        auto output = CapturedOutput([&] { delivered = scripted::DeliverFrame(fill); });
        EXPECT_TRUE(delivered);
        return output;
    }

    void ExpectPose(const HmdPose& pose, XrVector3f position, XrQuaternionf orientation) {
        EXPECT_TRUE(pose.valid);
        EXPECT_EQ(pose.position.x, position.x);
        EXPECT_EQ(pose.position.y, position.y);
        EXPECT_EQ(pose.position.z, position.z);
        EXPECT_EQ(pose.orientation.x, orientation.x);
        EXPECT_EQ(pose.orientation.y, orientation.y);
        EXPECT_EQ(pose.orientation.z, orientation.z);
        EXPECT_EQ(pose.orientation.w, orientation.w);
    }
};

TEST_F(FrameIntakeTest, StoresTheHeadsetTurnedHalfAboutTheVertical) {
    const double before = platform::MonotonicSeconds();
    const auto output = Deliver(Frame({{7, 1, 2, 3, 0.1f, 0.2f, 0.3f, 0.9f}}));

    EXPECT_EQ(output, "Setting HMD pos to -1, 2, -3\n");
    ExpectPose(tracker_->ReadPose(), {-1, 2, -3}, {-0.1f, 0.2f, -0.3f, 0.9f});
    EXPECT_GE(tracker_->lastFrameTime.load(), before);
    EXPECT_THAT(scripted::Calls(), ElementsAre("SecondsSinceHostTimestamp(1000)"));

    // The pose outlives the connection.
    CapturedOutput([&] { tracker_->DisconnectFromServer(); });
    ExpectPose(tracker_->ReadPose(), {-1, 2, -3}, {-0.1f, 0.2f, -0.3f, 0.9f});
}

TEST_F(FrameIntakeTest, PrintsInTheStreamsDefaultFloatFormat) {
    const auto output = Deliver(Frame({{7, 0.1234567f, -1e-7f, 1234567.0f, 0, 0, 0, 1}}));
    EXPECT_EQ(output, "Setting HMD pos to -0.123457, -1e-07, -1.23457e+06\n");
}

TEST_F(FrameIntakeTest, TakesTheFirstEntryWithTheHeadsetsId) {
    Deliver(Frame({{3, 9, 9, 9, 0, 0, 0, 1}, {7, 1, 2, 3, 0, 0, 0, 1}, {7, 4, 5, 6, 0, 1, 0, 0}}));
    ExpectPose(tracker_->ReadPose(), {-1, 2, -3}, {-0.0f, 0, -0.0f, 1});
}

TEST_F(FrameIntakeTest, FramesWithoutTheHeadsetOnlyRenewTheFrameTime) {
    const struct {
        const char* name;
        scripted::FrameFiller fill;
    } cases[] = {
        {"other ids", Frame({{3, 1, 2, 3, 0, 0, 0, 1}, {8, 1, 2, 3, 0, 0, 0, 1}})},
        {"no bodies", Frame({})},
        {"negative count",
         [](sFrameOfMocapData& frame) {
             Frame({{7, 1, 2, 3, 0, 0, 0, 1}})(frame);
             frame.nRigidBodies = -1;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tracker_->lastFrameTime.store(1.0);
        const auto output = Deliver(c.fill);
        EXPECT_EQ(output, "");
        EXPECT_GT(tracker_->lastFrameTime.load(), 1.0);
        EXPECT_FALSE(tracker_->ReadPose().valid);
        EXPECT_THAT(scripted::Calls(), IsEmpty());
    }
}

TEST_F(FrameIntakeTest, AFrameFromTheFutureIsDropped) {
    scripted::SetLatency(-0.001);
    tracker_->lastFrameTime.store(1.0);
    const auto output = Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}));
    EXPECT_EQ(output, "");
    EXPECT_GT(tracker_->lastFrameTime.load(), 1.0);
    EXPECT_FALSE(tracker_->ReadPose().valid);

    // No latency at all is not in the future.
    scripted::SetLatency(0.0);
    EXPECT_EQ(Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}})), "Setting HMD pos to -1, 2, -3\n");
}

TEST_F(FrameIntakeTest, TheSecondTimestampCountsWhenTheFirstIsZero) {
    Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}, 0, 555));
    Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}, 444, 555));
    EXPECT_THAT(scripted::Calls(),
                ElementsAre("SecondsSinceHostTimestamp(555)", "SecondsSinceHostTimestamp(444)"));
}

TEST_F(FrameIntakeTest, ACountAboveCapacityIsReadOnlyUpToTheArraysEnd) {
    // Only the last slot holds the headset; a read past the record would be caught by the
    // address sanitizer, since the frame is a heap object of exactly its size.
    Deliver([](sFrameOfMocapData& frame) {
        Frame({})(frame);
        for (auto& body : frame.rigidBodies) {
            body.id = 0;
        }
        frame.rigidBodies[kMaxRigidBodies - 1] = RigidBodyEntry{7, 1, 2, 3, 0, 0, 0, 1, 0, 0};
        frame.nRigidBodies = std::numeric_limits<int32_t>::max();
    });
    ExpectPose(tracker_->ReadPose(), {-1, 2, -3}, {-0.0f, 0, -0.0f, 1});
}

// The int right after the record's last body sits where a body past the capacity would keep its
// id; setting it to the headset's id turns a search that overruns the array into a found pose.
static_assert(offsetof(sFrameOfMocapData, nSkeletons) ==
              offsetof(sFrameOfMocapData, rigidBodies) + sizeof(RigidBodyEntry) * kMaxRigidBodies);

TEST_F(FrameIntakeTest, AFrameWithoutTheHeadsetIsSearchedOnlyToTheRecordsEnd) {
    const struct {
        const char* name;
        int32_t count;
    } cases[] = {
        {"exactly the capacity", kMaxRigidBodies},
        {"one above the capacity", kMaxRigidBodies + 1},
        {"the largest count", std::numeric_limits<int32_t>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tracker_->lastFrameTime.store(1.0);
        const auto output = Deliver([&](sFrameOfMocapData& frame) {
            Frame({})(frame);
            for (auto& body : frame.rigidBodies) {
                body = RigidBodyEntry{3, 1, 2, 3, 0, 0, 0, 1, 0, 0};
            }
            frame.nRigidBodies = c.count;
            frame.nSkeletons = 7;  // the headset's id, one body past the capacity
        });
        EXPECT_EQ(output, "");
        EXPECT_GT(tracker_->lastFrameTime.load(), 1.0);
        EXPECT_FALSE(tracker_->ReadPose().valid) << "a body past the record was taken";
        EXPECT_THAT(scripted::Calls(), IsEmpty());
    }
}

TEST_F(FrameIntakeTest, EndsARunningDiscovery) {
    const struct {
        const char* name;
        bool published;
        bool raised;
    } cases[] = {
        {"handle and flag", true, true},
        // A frame that arrives before the watchdog raised the flag still ends the discovery.
        {"handle only", true, false},
        // The flag raised after a frame had already ended the discovery.
        {"flag only", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OrvixDiscoveryHandle handle = nullptr;
        if (c.published) {
            Orvix_CreateAsyncServerDiscovery(&handle, DiscoveryCallback, tracker_.get());
        }
        tracker_->discovery.store(handle);
        tracker_->discoveryActive.store(c.raised);
        scripted::ClearCalls();

        Deliver(Frame({}));

        if (c.published) {
            EXPECT_THAT(scripted::Calls(), ElementsAre("FreeAsyncServerDiscovery"));
        } else {
            EXPECT_THAT(scripted::Calls(), IsEmpty());
        }
        EXPECT_EQ(tracker_->discovery.load(), nullptr);
        EXPECT_FALSE(tracker_->discoveryActive.load());
        EXPECT_EQ(scripted::LiveDiscoveries(), 0);
    }
}

// With prediction on, each headset pose joins the history dated by its capture: the frame's age
// (what the library says of its timestamp) before its arrival. The arrival is kept beside it.
TEST_F(FrameIntakeTest, HistorySamplesAreDatedByCaptureNotByArrival) {
    const struct {
        const char* name;
        bool prediction;
        double ageSeconds;
    } cases[] = {
        // Oldest first: a frame captured before the newest is not taken.
        {"a frame a quarter second old", true, 0.25},
        {"a frame 10 ms old", true, 0.010},
        {"a frame of no age", true, 0.0},
        {"prediction off: no history", false, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MocapTracker& tracker = *tracker_;
        tracker.options.predictDisplayTime = c.prediction;
        scripted::SetLatency(c.ageSeconds);
        PoseHistory::Snapshot before;
        ASSERT_TRUE(tracker.headset.history.Read(&before));

        const double earliest = platform::MonotonicSeconds();
        Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}));
        const double latest = platform::MonotonicSeconds();

        PoseHistory::Snapshot after;
        ASSERT_TRUE(tracker.headset.history.Read(&after));
        if (!c.prediction) {
            EXPECT_EQ(after.count, before.count);
            continue;
        }
        ASSERT_EQ(after.count, before.count + 1);
        const PoseSample& sample = after.samples[after.count - 1];
        EXPECT_GE(sample.arrival, earliest);
        EXPECT_LE(sample.arrival, latest);
        EXPECT_NEAR(sample.arrival - sample.time, c.ageSeconds, 1e-9);
        EXPECT_EQ(sample.position.x, -1.0f);
    }
}

// A pose with a component that is not a finite number is left out, with prediction or without:
// the stored pose, the history and the time of the newest headset frame stay as the last finite
// frame left them, and standard output says nothing. The stream is still alive.
TEST_F(FrameIntakeTest, APoseThatIsNotFiniteIsLeftOut) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        Body body;
    } cases[] = {
        {"position x NaN", {7, kNaN, 2, 3, 0, 0, 0, 1}},
        {"position z minus infinity", {7, 1, 2, -kInfinity, 0, 0, 0, 1}},
        {"orientation y NaN", {7, 1, 2, 3, 0, kNaN, 0, 1}},
        {"orientation w infinity", {7, 1, 2, 3, 0, 0, 0, kInfinity}},
        {"everything NaN", {7, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}},
    };
    for (const bool prediction : {false, true}) {
        tracker_->options.predictDisplayTime = prediction;
        Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}));
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (prediction ? ", prediction on" : ""));
            PoseHistory::Snapshot before;
            ASSERT_TRUE(tracker_->headset.history.Read(&before));
            const double headsetFrameTime = tracker_->headset.newestFrameTime.load();
            tracker_->lastFrameTime.store(1.0);

            EXPECT_EQ(Deliver(Frame({c.body})), "");

            ExpectPose(tracker_->ReadPose(), {-1, 2, -3}, {-0.0f, 0, -0.0f, 1});
            PoseHistory::Snapshot after;
            ASSERT_TRUE(tracker_->headset.history.Read(&after));
            EXPECT_EQ(after.count, before.count);
            EXPECT_EQ(tracker_->headset.newestFrameTime.load(), headsetFrameTime);
            EXPECT_GT(tracker_->lastFrameTime.load(), 1.0);
        }
    }
}

// A frame captured before the newest one taken - a datagram that a newer one overtook - must not
// take the head back, with prediction or without. The script's latency places it: 50 ms old when
// it arrives right after a frame of no age. That holds while the two arrive within 50 ms of each
// other; on a machine too busy for that the pair is offered again, a bounded number of times.
TEST_F(FrameIntakeTest, AFrameCapturedBeforeTheNewestIsLeftOut) {
    for (const bool prediction : {false, true}) {
        SCOPED_TRACE(prediction ? "prediction on" : "prediction off");
        tracker_->options.predictDisplayTime = prediction;
        bool offeredInTime = false;
        for (int attempt = 0; attempt < 20 && !offeredInTime; ++attempt) {
            scripted::SetLatency(0.0);
            Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}));
            const double newestCapture = tracker_->headset.newestFrameTime.load();
            PoseHistory::Snapshot before;
            ASSERT_TRUE(tracker_->headset.history.Read(&before));

            scripted::SetLatency(0.050);
            const auto output = Deliver(Frame({{7, 4, 5, 6, 0, 1, 0, 0}}));
            if (platform::MonotonicSeconds() - newestCapture >= 0.050) {
                continue;
            }
            offeredInTime = true;
            EXPECT_EQ(output, "");
            ExpectPose(tracker_->ReadPose(), {-1, 2, -3}, {-0.0f, 0, -0.0f, 1});
            EXPECT_EQ(tracker_->headset.newestFrameTime.load(), newestCapture);
            PoseHistory::Snapshot after;
            ASSERT_TRUE(tracker_->headset.history.Read(&after));
            EXPECT_EQ(after.count, before.count);
        }
        ASSERT_TRUE(offeredInTime) << "no two frames arrived within 50 ms of each other";

        // The next frame in capture order is taken.
        scripted::SetLatency(0.0);
        EXPECT_EQ(Deliver(Frame({{7, 7, 8, 9, 0, 0, 0, 1}})), "Setting HMD pos to -7, 8, -9\n");
        ExpectPose(tracker_->ReadPose(), {-7, 8, -9}, {-0.0f, 0, -0.0f, 1});
    }
}

// A frame a second older than the newest is no overtaken datagram: the capture clock stepped
// back, as when the server restarts. It is taken, and so are the frames after it, rather than the
// head standing still until the new clock has caught up. A second's margin: the pair is offered
// again only should the two frames arrive 0.9 s apart.
TEST_F(FrameIntakeTest, AFrameAfterTheCaptureClockSteppedBackIsTaken) {
    tracker_->options.predictDisplayTime = true;
    bool offeredInTime = false;
    for (int attempt = 0; attempt < 20 && !offeredInTime; ++attempt) {
        scripted::SetLatency(0.0);
        Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}));
        const double newestCapture = tracker_->headset.newestFrameTime.load();

        scripted::SetLatency(1.0);
        const auto output = Deliver(Frame({{7, 4, 5, 6, 0, 1, 0, 0}}));
        if (platform::MonotonicSeconds() - newestCapture >= 0.9) {
            continue;
        }
        offeredInTime = true;
        EXPECT_EQ(output, "Setting HMD pos to -4, 5, -6\n");
        ExpectPose(tracker_->ReadPose(), {-4, 5, -6}, {-0.0f, 1, -0.0f, 0});
    }
    ASSERT_TRUE(offeredInTime) << "no two frames arrived within 0.9 s of each other";

    EXPECT_EQ(Deliver(Frame({{7, 7, 8, 9, 0, 0, 0, 1}})), "Setting HMD pos to -7, 8, -9\n");
    PoseHistory::Snapshot history;
    ASSERT_TRUE(tracker_->headset.history.Read(&history));
    ASSERT_GE(history.count, 2u);
    const PoseSample& newest = history.samples[history.count - 1];
    EXPECT_EQ(newest.position.x, -7.0f);
    EXPECT_NEAR(newest.arrival - newest.time, 1.0, 1e-9);
    EXPECT_EQ(history.samples[history.count - 2].position.x, -4.0f);
}

TEST_F(FrameIntakeTest, PoseValidityCanBeResetWithoutLosingThePose) {
    Deliver(Frame({{7, 1, 2, 3, 0, 0, 0, 1}}));
    tracker_->SetPoseValid(false);
    const HmdPose pose = tracker_->ReadPose();
    EXPECT_FALSE(pose.valid);
    EXPECT_EQ(pose.position.x, -1.0f);
}

}  // namespace
