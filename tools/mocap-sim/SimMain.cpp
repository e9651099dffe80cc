// tarvex-mocap-sim: the simulated motion-capture server, for running the layer on a machine
// without a motion-capture system.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "tools/mocap-sim/SimOptions.h"
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
    SimOptions options;
    std::string message;
    bool wantsHelp = false;
    if (!ParseSimOptions(argc, argv, &options, &message, &wantsHelp)) {
        std::fputs(message.c_str(), wantsHelp ? stdout : stderr);
        if (!wantsHelp) {
            std::fputc('\n', stderr);
        }
        return wantsHelp ? 0 : 2;
    }
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
