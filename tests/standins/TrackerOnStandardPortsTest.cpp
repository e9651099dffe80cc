// The tracker's start-up from its configuration file, which always connects to the standard
// command port 1510 (data port 1511), against the simulator on those ports. The one test that
// needs them: it holds the mocap_ports lock against this project's other users of the ports, and
// says so plainly when a program outside the tests holds them.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TrackerSimFixture.h"
#include "standins/orvix/OrvixStandin.h"

namespace {

using TrackerOnStandardPortsTest = TrackerSimFixture;

TEST_F(TrackerOnStandardPortsTest, StartUpConnectsFromTheConfigurationAndStoresTheHeadset) {
    SimOptions options = FixedHeadset();
    options.commandPort = kOrvixDefaultCommandPort;
    options.dataPort = kOrvixDefaultDataPort;
    server = std::make_unique<SimServer>(options, [](const std::string&) {});
    std::string error;
    ASSERT_TRUE(server->Start(&error))
        << "the standard motion-capture port " << kOrvixDefaultCommandPort
        << " on 127.0.0.1 is taken by another program on this machine (" << error
        << "); stop that program to run this test";
    // A string rather than the bare literal: GCC 12 at -O3 warns falsely (-Wrestrict) there.
    settings.values["connectiontype"] = std::string("0");  // unicast
    settings.WriteTo(directory);

    testing::internal::CaptureStdout();
    tracker.Initialise();
    ExpectStoredHeadset();
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(StartupLines(output), kUnicastStartupLines);
    EXPECT_NE(output.find("Setting HMD pos to 1, 1.5, 2\n"), std::string::npos) << output;
    EXPECT_TRUE(tracker.initialised.load());
    EXPECT_EQ(server->ConnectedClients(), 1u) << "the tracker is connected to another server";
}

}  // namespace
