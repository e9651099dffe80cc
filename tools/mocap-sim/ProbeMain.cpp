// tarvex-mocap-probe: connects to a motion-capture server through the stand-in client library,
// receives frames for a while and reports frame loss and the age of each frame on arrival
// (SecondsSinceHostTimestamp), as the tracker would see them.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "TarvexVersion.h"
#include "standins/orvix/OrvixStandin.h"
#include "tools/command-line/CommandLineChecks.h"
#include "tracking/OrvixLib.h"

namespace {

struct Samples {
    OrvixClient* client = nullptr;
    std::vector<double> midExposureAge;
    std::vector<double> transmitAge;
    std::vector<int32_t> frameNumbers;
    std::atomic<size_t> count{0};
};

void OnFrame(sFrameOfMocapData* frame, void* context) {
    auto* samples = static_cast<Samples*>(context);
    const size_t index = samples->count.load(std::memory_order_relaxed);
    if (index >= samples->frameNumbers.size()) {
        return;
    }
    samples->midExposureAge[index] =
        samples->client->SecondsSinceHostTimestamp(frame->cameraMidExposureTimestamp);
    samples->transmitAge[index] =
        samples->client->SecondsSinceHostTimestamp(frame->transmitTimestamp);
    samples->frameNumbers[index] = frame->iFrame;
    samples->count.store(index + 1, std::memory_order_release);
}

void PrintAges(const char* what, std::vector<double> ages) {
    if (ages.empty()) {
        return;
    }
    std::sort(ages.begin(), ages.end());
    const auto at = [&](double fraction) {
        return ages[static_cast<size_t>(fraction * static_cast<double>(ages.size() - 1))] * 1e3;
    };
    const size_t negative = static_cast<size_t>(
        std::count_if(ages.begin(), ages.end(), [](double a) { return a < 0; }));
    std::printf(
        "age since %s: min %.3f ms, median %.3f ms, p99 %.3f ms, max %.3f ms, negative %zu\n", what,
        at(0.0), at(0.5), at(0.99), at(1.0), negative);
}

}  // namespace

int main(int argc, char** argv) {
    std::string server = "127.0.0.1";
    std::string local = "127.0.0.1";
    uint16_t commandPort = 0;
    uint16_t dataPort = 0;
    bool multicast = false;
    double seconds = 10.0;

    CLI::App app(
        "Connects to a motion-capture server through the stand-in client library, resets its\n"
        "subscriptions in unicast mode, receives frames for a while and prints the frame loss\n"
        "and the age of each frame on arrival.",
        "tarvex-mocap-probe");
    app.set_version_flag("--version", TarvexVersionLine("tarvex-mocap-probe"),
                         "print the version and exit");
    app.set_help_flag("-h,--help", "this text");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--server", server, "the server's address (default 127.0.0.1)")
        ->type_name("ADDRESS");
    app.add_option("--local", local, "the local address (default 127.0.0.1)")->type_name("ADDRESS");
    app.add_option("--command-port", commandPort, "command port (default 1510)")
        ->type_name("PORT")
        ->check(tools::Integer(0, 65535));
    app.add_option("--data-port", dataPort, "data port (default 1511)")
        ->type_name("PORT")
        ->check(tools::Integer(0, 65535));
    app.add_flag("--multicast", multicast, "receive multicast instead of unicast");
    app.add_option("--seconds", seconds, "how long to receive (default 10, at most 3600)")
        ->type_name("S")
        ->check(tools::Number({0.0, false, 3600.0}));
    std::string message;
    switch (tools::ParseCommandLine(app, argc, argv, &message)) {
        case tools::ParseOutcome::kRun:
            break;
        case tools::ParseOutcome::kShowInformation:
            std::fputs(message.c_str(), stdout);
            return 0;
        case tools::ParseOutcome::kBadArguments:
            std::fputs(message.c_str(), stderr);
            return 2;
    }

    OrvixClient client;
    sOrvixClientConnectParams params{};
    params.connectionType = multicast ? 0 : 1;
    params.commandPort = static_cast<uint16_t>(commandPort);
    params.dataPort = static_cast<uint16_t>(dataPort);
    params.serverAddress = server.c_str();
    params.localAddress = local.c_str();
    const ErrorCode connected = client.Connect(params);
    if (connected != ErrorCode_OK) {
        std::printf("connect failed with code %d\n", connected);
        return 1;
    }
    if (!multicast) {
        for (const char* command : {"SubscribeToData", "SubscribeToData,AllTypes,None"}) {
            void* response = nullptr;
            int size = 0;
            const ErrorCode code = client.SendMessageAndWait(command, &response, &size);
            std::printf("'%s': code %d, %d bytes\n", command, code, size);
        }
    }
    Samples samples;
    samples.client = &client;
    const size_t capacity = static_cast<size_t>(seconds * 20000.0);
    samples.midExposureAge.resize(capacity);
    samples.transmitAge.resize(capacity);
    samples.frameNumbers.resize(capacity);
    const uint64_t malformedBefore = OrvixStandin_MalformedDatagramCount();
    client.SetFrameReceivedCallback(OnFrame, &samples);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    client.Disconnect();

    const size_t count = samples.count.load(std::memory_order_acquire);
    std::printf("received %zu frames in %.1f s\n", count, seconds);
    if (count == 0) {
        return 1;
    }
    const std::vector<int32_t> numbers(samples.frameNumbers.begin(),
                                       samples.frameNumbers.begin() + static_cast<long>(count));
    size_t outOfOrder = 0;
    for (size_t i = 1; i < numbers.size(); ++i) {
        outOfOrder += numbers[i] <= numbers[i - 1] ? 1 : 0;
    }
    const int32_t first = numbers.front();
    const int32_t last = *std::max_element(numbers.begin(), numbers.end());
    const long long expected = static_cast<long long>(last) - first + 1;
    const long long lost = expected - static_cast<long long>(count - outOfOrder);
    std::printf("frames %d..%d: expected %lld, lost %lld (%.4f %%), out of order %zu\n", first,
                last, expected, lost,
                100.0 * static_cast<double>(lost) / static_cast<double>(expected), outOfOrder);
    PrintAges("mid-exposure", {samples.midExposureAge.begin(),
                               samples.midExposureAge.begin() + static_cast<long>(count)});
    PrintAges("transmit", {samples.transmitAge.begin(),
                           samples.transmitAge.begin() + static_cast<long>(count)});
    std::printf(
        "malformed datagrams dropped: %llu\n",
        static_cast<unsigned long long>(OrvixStandin_MalformedDatagramCount() - malformedBefore));
    return 0;
}
