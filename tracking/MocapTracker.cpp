#include "tracking/MocapTracker.h"

#include <new>

MocapTracker& MocapTracker::Instance() {
    // Placement new into static storage that nothing destroys: the watchdog and the client
    // library's threads may still run inside the tracker while static destructors run.
    alignas(MocapTracker) static unsigned char storage[sizeof(MocapTracker)];
    static MocapTracker* const instance = new (storage) MocapTracker();
    return *instance;
}

MocapTracker::~MocapTracker() {
    watchdogStop.store(true);
    if (watchdogThread.joinable()) {
        watchdogThread.join();
    }
}
