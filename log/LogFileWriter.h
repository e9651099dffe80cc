#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "log/LogFile.h"
#include "log/LogQueue.h"

// Copies the layer's log lines into a file that users can read and send, without costing the
// threads that log: they only queue text; a writer thread of its own moves it to the file a few
// times a second.
class LogFileWriter {
public:
    static constexpr uint64_t kCapBytes = 4 * 1024 * 1024;

    // The process-wide writer. It is never destroyed, as the threads that log may outlive static
    // destruction; what is queued at exit is written by a last drain.
    static LogFileWriter& Instance();

    explicit LogFileWriter(uint64_t capBytes = kCapBytes) : file_(capBytes) {}
    // Stops and joins the writer thread, then writes what is left.
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter&) = delete;
    LogFileWriter& operator=(const LogFileWriter&) = delete;

    LogQueue& Queue() { return queue_; }
    bool Started() const { return started_.load(); }

    // The first call opens the file in the folder (or the temporary folder) with `firstLines` at
    // its head and starts the writer thread; later calls change nothing. Returns the file's path,
    // empty when no file could be opened.
    std::string Start(const std::string& folder, const std::string& firstLines);

    // Writes what is queued now, unless another drain is running (the writer thread, or one
    // interrupted at process exit). Returns false when it had to leave it to that one.
    bool Drain();

    // For the process's exit, which ends the writer thread wherever it is: waits up to a second
    // for a drain that thread is running, then writes what is left. False when the wait ran out
    // (a writer thread ended in the middle of a drain never finishes it).
    bool DrainAtExit();

private:
    void Run();

    LogQueue queue_;
    LogFile file_;
    std::atomic<bool> started_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> draining_{false};
    std::thread thread_;
};
