#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "log/FrameLineThinning.h"
#include "log/LogFile.h"
#include "log/LogQueue.h"

// Copies the layer's log lines into a file that users can read and send, without costing the
// threads that log: they only queue text with the time they logged it; a writer thread of its
// own moves it to the file a few times a second, each line after its local time
// ("2026-12-11 03:25:34.123 "). Per-frame lines are thinned to one a second of each kind (see
// FrameLineThinning). The head - the first line and the set-up the start-up records - starts the
// file and every file after a rotation.
class LogFileWriter {
public:
    static constexpr uint64_t kCapBytes = 4 * 1024 * 1024;
    // Head text beyond this goes to the file as ordinary lines, not repeated after rotations.
    static constexpr size_t kHeadCapBytes = 64 * 1024;

    // The process-wide writer. It is never destroyed, as the threads that log may outlive static
    // destruction; what is queued at exit is written by a last drain.
    static LogFileWriter& Instance();

    explicit LogFileWriter(uint64_t capBytes = kCapBytes) : file_(capBytes) {}
    // Stops and joins the writer thread, then writes what is left.
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter&) = delete;
    LogFileWriter& operator=(const LogFileWriter&) = delete;

    // The queue itself: text pushed here goes to the file as it is, without time or thinning.
    LogQueue& Queue() { return queue_; }
    bool Started() const { return started_.load(); }

    // A line (or the piece of one) logged now, or at the given wall-clock time: queued with its
    // time, or left out when it is a per-frame line the file already had this second. Takes no
    // lock and allocates nothing.
    void Push(const char* data, size_t size) noexcept;
    void Push(const char* data, size_t size, int64_t wallNanoseconds) noexcept;

    // Lines for the head, each stamped with the time now: written to the file after what the
    // head holds so far, and at the top of every later file. Not for the frame threads.
    void AppendHead(const std::string& lines);

    // When the first head line appended so far was stamped, or `now` when none was or when that is
    // earlier: the time for a line that goes above them all.
    int64_t HeadStartedAt(int64_t now);

    // The first call opens the file in the folder (or the user's state folder) with `firstLines`
    // at its head, writes the head and the lines queued so far, and starts the writer thread;
    // later calls change nothing. Returns the file's path, empty when no file could be opened.
    std::string Start(const std::string& folder, const std::string& firstLines);

    // Writes what is queued now, unless another drain is running (the writer thread, or one
    // interrupted at process exit). Returns false when it had to leave it to that one.
    bool Drain();

    // For the process's exit, which ends the writer thread wherever it is: waits up to a second
    // for a drain that thread is running, then writes what is left and a closing line. False when
    // the wait ran out (a writer thread ended in the middle of a drain never finishes it).
    bool DrainAtExit();

private:
    void Run();
    // Drain, with the closing line after the last lines when `closing`.
    bool DrainOnce(bool closing);
    void WriteClosingLine();
    // Writer side, under draining_: the head's new lines, then one queued piece.
    void WriteNewHead();
    void WritePiece(const char* data, size_t size, const LineStamp& stamp);

    LogQueue queue_;
    LogFile file_;
    std::atomic<bool> started_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> draining_{false};
    std::thread thread_;
    FrameLineThinning thinning_;

    std::mutex headMutex_;  // the start-up's appends against the writer's copy
    std::string head_;
    int64_t headStartedAt_ = 0;  // 0 until the first append
    std::atomic<size_t> headSize_{0};
    size_t headWritten_ = 0;   // writer side
    bool atLineStart_ = true;  // writer side
};
