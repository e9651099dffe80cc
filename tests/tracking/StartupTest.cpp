#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <thread>

#include "TrackerFixture.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class StartupTest : public TrackerTest {
protected:
    // Runs the start-up and returns the message it threw, or "" when it did not throw.
    std::string InitialiseError() {
        std::string message;
        CapturedOutput([&] {
            try {
                tracker_->Initialise();
            } catch (const std::runtime_error& error) {
                message = error.what();
            }
        });
        return message;
    }
};

TEST_F(StartupTest, FreshTrackerHoldsNoPoseAndNoConnection) {
    EXPECT_FALSE(tracker_->initialised.load());
    EXPECT_EQ(tracker_->client.load(), nullptr);
    EXPECT_EQ(tracker_->lastFrameTime.load(), std::numeric_limits<double>::max());
    EXPECT_FALSE(tracker_->ReadPose().valid);
}

TEST_F(StartupTest, ReadsEverySettingAndConnectsWithTheFixedFields) {
    WriteConfig(SettingsFile{}.Text());
    const auto output = CapturedOutput([&] { tracker_->Initialise(); });

    EXPECT_TRUE(tracker_->initialised.load());
    EXPECT_EQ(tracker_->headset.id, 7);
    EXPECT_FLOAT_EQ(tracker_->ipd, 63.5f);
    EXPECT_TRUE(tracker_->overrideRight);
    EXPECT_EQ(tracker_->rightHand.id, 11);
    EXPECT_FALSE(tracker_->overrideLeft);
    EXPECT_EQ(tracker_->leftHand.id, 12);
    EXPECT_EQ(tracker_->connectParams.connectionType, 0);
    EXPECT_NE(tracker_->client.load(), nullptr);
    EXPECT_TRUE(tracker_->watchdogThread.joinable());

    EXPECT_EQ(output,
              "Initializing Orvix in multicast, server: 127.0.0.2, client: 127.0.0.1, rigid body "
              "ID: 7\nConnected...\nReceived server descriptions...\n");
    EXPECT_THAT(scripted::Calls(),
                ElementsAre("OrvixClient()", "Disconnect()",
                            "Connect(type=0, command=1510, data=1511, server=127.0.0.2, "
                            "local=127.0.0.1, group=239.255.60.60, option=0, reserved=0)",
                            "GetServerDescription", "SetFrameReceivedCallback"));
}

TEST_F(StartupTest, OnlyConnectionTypeOneSelectsMulticast) {
    const std::pair<const char*, int32_t> cases[] = {{"1", 0}, {"0", 1}, {"2", 1}, {"-1", 1}};
    for (const auto& [setting, stored] : cases) {
        SCOPED_TRACE(setting);
        SettingsFile settings;
        settings.values["connectiontype"] = setting;
        WriteConfig(settings.Text());
        tracker_->initialised.store(false);
        const auto output = CapturedOutput([&] {
            tracker_->Initialise();
            tracker_->watchdogStop.store(true);
            tracker_->watchdogThread.join();
            tracker_->DisconnectFromServer();
        });
        EXPECT_EQ(tracker_->connectParams.connectionType, stored);
        EXPECT_EQ(output.rfind(stored == 0 ? "Initializing Orvix in multicast"
                                           : "Initializing Orvix in unicast",
                               0),
                  0u)
            << output;
        const auto calls = scripted::Calls();
        const bool sentReset = std::find(calls.begin(), calls.end(),
                                         "SendMessageAndWait(SubscribeToData)") != calls.end();
        EXPECT_EQ(sentReset, stored == 1);
        scripted::ClearCalls();
    }
}

TEST_F(StartupTest, WithoutTheVariableNothingHappens) {
    SetVariable("TARVEX_OPENXR_CONFIG", nullptr);
    WriteConfig(SettingsFile{}.Text());
    EXPECT_EQ(InitialiseError(), "");
    const auto output = CapturedOutput([&] { tracker_->Initialise(); });
    EXPECT_EQ(output, "");
    EXPECT_FALSE(tracker_->initialised.load());
    EXPECT_FALSE(tracker_->watchdogThread.joinable());
    EXPECT_THAT(scripted::Calls(), IsEmpty());
}

TEST_F(StartupTest, MissingFileFailsUntilTheFileExists) {
    EXPECT_EQ(InitialiseError(), "ini file not found.");
    EXPECT_FALSE(tracker_->initialised.load());
    EXPECT_THAT(scripted::Calls(), IsEmpty());

    WriteConfig(SettingsFile{}.Text());
    EXPECT_EQ(InitialiseError(), "");
    EXPECT_TRUE(tracker_->initialised.load());
}

TEST_F(StartupTest, EachMissingSettingFailsWithItsKey) {
    for (const auto& [key, value] : SettingsFile{}.values) {
        SCOPED_TRACE(key);
        SettingsFile settings;
        settings.values.erase(key);
        WriteConfig(settings.Text());
        EXPECT_EQ(InitialiseError(), "key '" + key + "' not found in section 'SETTINGS'.");
        EXPECT_FALSE(tracker_->initialised.load());
        EXPECT_FALSE(tracker_->watchdogThread.joinable());
        EXPECT_THAT(scripted::Calls(), IsEmpty());
    }
}

TEST_F(StartupTest, MalformedValuesFailWithTheReadersMessage) {
    const struct {
        const char* key;
        const char* value;
        const char* message;
    } cases[] = {
        {"connectiontype", "abc", "cannot parse value 'abc' to type<T>."},
        {"hmdrbid", "2147483648", "cannot parse value '2147483648' to type<T>."},
        {"ipd", "wide", "cannot parse value 'wide' to type<T>."},
        {"overrider", "Enabled", "'enabled' is not a valid boolean value."},
        {"controllerrrbid", "-", "cannot parse value '-' to type<T>."},
        {"overridel", "2", "'2' is not a valid boolean value."},
        {"controllerlrbid", "x1", "cannot parse value 'x1' to type<T>."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        SettingsFile settings;
        settings.values[c.key] = c.value;
        WriteConfig(settings.Text());
        EXPECT_EQ(InitialiseError(), c.message);
        EXPECT_FALSE(tracker_->initialised.load());
        EXPECT_THAT(scripted::Calls(), IsEmpty());
    }
}

TEST_F(StartupTest, FileLevelFailuresReachTheCaller) {
    SettingsFile lowerCase;
    lowerCase.section = "settings";
    SettingsFile duplicate;
    const std::pair<std::string, std::string> cases[] = {
        {lowerCase.Text(), "section 'SETTINGS' not found."},
        {SettingsFile{}.Text() + "justtext\n", "parse error on line no: 11"},
        {SettingsFile{}.Text() + "ipd = 60\n", "duplicate key 'ipd' in section 'SETTINGS'."},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(message);
        WriteConfig(text);
        EXPECT_EQ(InitialiseError(), message);
        EXPECT_FALSE(tracker_->initialised.load());
        EXPECT_THAT(scripted::Calls(), IsEmpty());
    }
}

TEST_F(StartupTest, ResetsThePoseValidity) {
    WriteConfig(SettingsFile{}.Text());
    tracker_->StorePose({1, 2, 3}, {0, 0, 0, 1});
    CapturedOutput([&] { tracker_->Initialise(); });
    EXPECT_FALSE(tracker_->ReadPose().valid);
}

TEST_F(StartupTest, AFailedFirstConnectionStillStartsTheWatchdog) {
    scripted::SetConnectCode(4);
    WriteConfig(SettingsFile{}.Text());
    CapturedOutput([&] { tracker_->Initialise(); });
    EXPECT_TRUE(tracker_->initialised.load());
    EXPECT_EQ(tracker_->client.load(), nullptr);
    EXPECT_TRUE(tracker_->watchdogThread.joinable());
}

TEST_F(StartupTest, RunsOnlyOnceAfterSuccess) {
    WriteConfig(SettingsFile{}.Text());
    CapturedOutput([&] { tracker_->Initialise(); });
    scripted::ClearCalls();
    const auto output = CapturedOutput([&] { tracker_->Initialise(); });
    EXPECT_EQ(output, "");
    EXPECT_THAT(scripted::Calls(), IsEmpty());
}

TEST_F(StartupTest, ASecondCallerNeitherStartsNorWaits) {
    scripted::Script script;
    script.holdConnect = true;
    scripted::Reset(script);
    WriteConfig(SettingsFile{}.Text());

    testing::internal::CaptureStdout();
    std::thread first([&] { tracker_->Initialise(); });
    ASSERT_TRUE(scripted::WaitUntilConnectHeld(std::chrono::seconds(10)));
    // The first start-up is inside Connect; this call must come back without connecting.
    tracker_->Initialise();
    const auto callsWhileHeld = scripted::Calls();
    scripted::ReleaseConnect();
    first.join();
    const auto output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(std::count(callsWhileHeld.begin(), callsWhileHeld.end(), "OrvixClient()"), 1);
    EXPECT_EQ(callsWhileHeld.back().rfind("Connect(", 0), 0u);
    EXPECT_EQ(output,
              "Initializing Orvix in multicast, server: 127.0.0.2, client: 127.0.0.1, rigid body "
              "ID: 7\nConnected...\nReceived server descriptions...\n");
    EXPECT_FALSE(tracker_->startupRunning.load());
}

TEST_F(StartupTest, AThrowingStartUpReleasesItsSlot) {
    EXPECT_EQ(InitialiseError(), "ini file not found.");
    EXPECT_FALSE(tracker_->startupRunning.load());
}

}  // namespace
