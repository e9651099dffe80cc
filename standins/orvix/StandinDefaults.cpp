#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "standins/orvix/OrvixStandin.h"
#include "standins/orvix/StandinDefaults.h"

namespace {

std::atomic<uint16_t> gCommandPortOverride{0};
std::atomic<uint16_t> gDataPortOverride{0};
std::atomic<uint64_t> gMalformedDatagrams{0};

// ORVIX_STANDIN_PORTS="command,data", for processes (such as a loaded layer) that cannot call
// OrvixStandin_SetDefaultPorts.
uint16_t PortFromEnvironment(int index) {
    const char* text = std::getenv("ORVIX_STANDIN_PORTS");
    if (text == nullptr) {
        return 0;
    }
    unsigned command = 0;
    unsigned data = 0;
    if (std::sscanf(text, "%u,%u", &command, &data) != 2 || command > 65535 || data > 65535) {
        return 0;
    }
    return static_cast<uint16_t>(index == 0 ? command : data);
}

uint16_t Resolve(const std::atomic<uint16_t>& override, int index, uint16_t builtIn) {
    const uint16_t chosen = override.load();
    if (chosen != 0) {
        return chosen;
    }
    const uint16_t fromEnvironment = PortFromEnvironment(index);
    return fromEnvironment != 0 ? fromEnvironment : builtIn;
}

}  // namespace

void OrvixStandin_SetDefaultPorts(uint16_t commandPort, uint16_t dataPort) {
    gCommandPortOverride.store(commandPort);
    gDataPortOverride.store(dataPort);
}

uint16_t OrvixStandin_DefaultCommandPort() {
    return Resolve(gCommandPortOverride, 0, kOrvixDefaultCommandPort);
}

uint16_t OrvixStandin_DefaultDataPort() {
    return Resolve(gDataPortOverride, 1, kOrvixDefaultDataPort);
}

uint64_t OrvixStandin_MalformedDatagramCount() {
    return gMalformedDatagrams.load();
}

int64_t OrvixStandin_ClientNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace orvix {

void CountMalformedDatagram() {
    gMalformedDatagrams.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace orvix
