#include "log/LogFileWriter.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <string>

#include "platform/Platform.h"

namespace {

constexpr auto kWritePeriod = std::chrono::milliseconds(50);
constexpr auto kExitWait = std::chrono::seconds(1);
constexpr auto kExitPoll = std::chrono::milliseconds(1);

// Writes the process-wide writer's last lines at exit, without destroying it.
struct ExitDrain {
    ~ExitDrain() { LogFileWriter::Instance().DrainAtExit(); }
};

}  // namespace

LogFileWriter& LogFileWriter::Instance() {
    alignas(LogFileWriter) static unsigned char storage[sizeof(LogFileWriter)];
    static LogFileWriter* const instance = new (storage) LogFileWriter();
    static ExitDrain exitDrain;
    return *instance;
}

LogFileWriter::~LogFileWriter() {
    stop_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    Drain();
}

std::string LogFileWriter::Start(const std::string& folder, const std::string& firstLines) {
    bool expected = false;
    if (!started_.compare_exchange_strong(expected, true)) {
        return file_.Path();
    }
    if (!file_.Open(folder)) {
        return {};
    }
    file_.Write(firstLines.data(), firstLines.size());
    file_.Flush();
    // The writer thread runs this module's code for the rest of the process.
    platform::PinOwnModule();
    thread_ = std::thread(&LogFileWriter::Run, this);
    return file_.Path();
}

bool LogFileWriter::Drain() {
    bool expected = false;
    if (!draining_.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
        return false;
    }
    if (file_.IsOpen()) {
        bool wrote = false;
        while (queue_.PopInto([this](const char* data, size_t size) { file_.Write(data, size); })) {
            wrote = true;
        }
        if (const uint64_t dropped = queue_.TakeDropped(); dropped > 0) {
            char line[128];
            const int size = std::snprintf(line, sizeof(line),
                                           "(tarvex_tracking: %llu pieces of log text were dropped "
                                           "here: the log file could not keep up)\n",
                                           static_cast<unsigned long long>(dropped));
            file_.Write(line, static_cast<size_t>(size));
            wrote = true;
        }
        if (wrote) {
            file_.Flush();
        }
    }
    draining_.store(false, std::memory_order_release);
    return true;
}

bool LogFileWriter::DrainAtExit() {
    // The writer thread may be in the middle of a drain, which exit would cut short. It is left
    // running: a drain it starts after this one has only lines queued later.
    const auto until = std::chrono::steady_clock::now() + kExitWait;
    while (!Drain()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(kExitPoll);
    }
    return true;
}

void LogFileWriter::Run() {
    while (!stop_.load()) {
        Drain();
        std::this_thread::sleep_for(kWritePeriod);
    }
}
