// tarvex-mocap-sim: the simulated motion-capture server, for running the layer on a machine
// without a motion-capture system.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "tools/mocap-sim/SimCommandLine.h"
#include "tools/mocap-sim/SimServer.h"

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
    gStopSignal = signal;
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const SimCommandLine commandLine = ParseSimCommandLine(argc, argv);
    if (!commandLine.run) {
        std::fputs(commandLine.message.c_str(), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    const SimOptions& options = commandLine.options;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);

    SimServer server(options, PrintLine);
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "tarvex-mocap-sim: %s\n", error.c_str());
        return 1;
    }
    while (gStopSignal == 0 && !server.Finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (gStopSignal != 0) {
        PrintLine(std::string("stopping on ") + (gStopSignal == SIGINT ? "SIGINT" : "SIGTERM"));
    }
    server.Stop();
    PrintLine(server.SummaryLine());
    return 0;
}
