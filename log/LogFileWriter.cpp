#include "log/LogFileWriter.h"

#include <chrono>
#include <cstdio>
#include <cstring>
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

void LogFileWriter::Push(const char* data, size_t size) noexcept {
    Push(data, size, platform::CoarseWallClockNanoseconds());
}

void LogFileWriter::Push(const char* data, size_t size, int64_t wallNanoseconds) noexcept {
    LineStamp stamp{wallNanoseconds, 0};
    if (const int kind = FrameLineThinning::KindOf(data, size);
        kind >= 0 && !thinning_.Admit(kind, wallNanoseconds, &stamp.leftOut)) {
        return;
    }
    queue_.Push(data, size, stamp);
}

void LogFileWriter::AppendHead(const std::string& lines) {
    const int64_t at = platform::CoarseWallClockNanoseconds();
    char now[32];
    platform::FormatLocalTime(at, now);
    std::string stamped;
    for (size_t start = 0; start < lines.size();) {
        const size_t end = lines.find('\n', start);
        const size_t next = end == std::string::npos ? lines.size() : end + 1;
        stamped.append(now).append(" ").append(lines, start, next - start);
        start = next;
    }
    const std::lock_guard<std::mutex> lock(headMutex_);
    if (headStartedAt_ == 0) {
        headStartedAt_ = at;
    }
    if (head_.size() + stamped.size() > kHeadCapBytes) {
        queue_.Push(stamped.data(), stamped.size());
        return;
    }
    head_ += stamped;
    headSize_.store(head_.size(), std::memory_order_release);
}

int64_t LogFileWriter::HeadStartedAt(int64_t now) {
    const std::lock_guard<std::mutex> lock(headMutex_);
    return headStartedAt_ != 0 && headStartedAt_ < now ? headStartedAt_ : now;
}

std::string LogFileWriter::Start(const std::string& folder, const std::string& firstLines) {
    bool expected = false;
    if (!started_.compare_exchange_strong(expected, true)) {
        return file_.Path();
    }
    if (!file_.Open(folder)) {
        return {};
    }
    {
        const std::lock_guard<std::mutex> lock(headMutex_);
        head_.insert(0, firstLines);
        headSize_.store(head_.size(), std::memory_order_release);
    }
    // The lines logged before the file opened follow the head recorded with them, ahead of the
    // head lines the start-up appends next, so that times do not go back down the file.
    Drain();
    // The writer thread runs this module's code for the rest of the process.
    platform::PinOwnModule();
    thread_ = std::thread(&LogFileWriter::Run, this);
    return file_.Path();
}

bool LogFileWriter::Drain() {
    return DrainOnce(false);
}

bool LogFileWriter::DrainOnce(bool closing) {
    bool expected = false;
    if (!draining_.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
        return false;
    }
    if (file_.IsOpen()) {
        bool wrote = headSize_.load(std::memory_order_acquire) > headWritten_;
        WriteNewHead();
        while (queue_.PopInto([this](const char* data, size_t size, const LineStamp& stamp) {
            WritePiece(data, size, stamp);
        })) {
            wrote = true;
        }
        if (const uint64_t dropped = queue_.TakeDropped(); dropped > 0) {
            char line[128];
            const int size = std::snprintf(line, sizeof(line),
                                           "(tarvex_tracking: %llu pieces of log text were dropped "
                                           "here: the log file could not keep up)\n",
                                           static_cast<unsigned long long>(dropped));
            // Untimed: it stands where the dropped text would have been.
            WritePiece(line, static_cast<size_t>(size), {});
            wrote = true;
        }
        if (closing) {
            WriteClosingLine();
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
    while (!DrainOnce(true)) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(kExitPoll);
    }
    return true;
}

void LogFileWriter::WriteClosingLine() {
    // Thinned lines left out after the last of their kind would otherwise go unmentioned.
    char line[160];
    const uint64_t leftOut = thinning_.TakeLeftOut();
    const int size =
        leftOut == 0
            ? std::snprintf(line, sizeof(line), "log closed at process exit\n")
            : std::snprintf(line, sizeof(line),
                            "log closed at process exit; %llu lines left out since the last of "
                            "their kind\n",
                            static_cast<unsigned long long>(leftOut));
    if (!atLineStart_) {
        file_.Write("\n", 1);
        atLineStart_ = true;
    }
    WritePiece(line, static_cast<size_t>(size), {platform::CoarseWallClockNanoseconds(), 0});
}

void LogFileWriter::WriteNewHead() {
    if (headSize_.load(std::memory_order_acquire) <= headWritten_) {
        return;
    }
    std::string head;
    {
        const std::lock_guard<std::mutex> lock(headMutex_);
        head = head_;
    }
    file_.Write(head.data() + headWritten_, head.size() - headWritten_);
    headWritten_ = head.size();
    file_.SetHead(std::move(head));
}

void LogFileWriter::WritePiece(const char* data, size_t size, const LineStamp& stamp) {
    while (size > 0) {
        if (atLineStart_ && stamp.wallNanoseconds != 0) {
            char time[32];
            platform::FormatLocalTime(stamp.wallNanoseconds, time);
            const size_t length = std::strlen(time);
            time[length] = ' ';
            file_.Write(time, length + 1);
        }
        const void* newline = std::memchr(data, '\n', size);
        const size_t line = newline == nullptr
                                ? size
                                : static_cast<size_t>(static_cast<const char*>(newline) - data) + 1;
        if (line == size && newline != nullptr && stamp.leftOut > 0) {
            char note[80];
            const int noteSize =
                std::snprintf(note, sizeof(note), " (%llu like it left out since the last)\n",
                              static_cast<unsigned long long>(stamp.leftOut));
            file_.Write(data, line - 1);
            file_.Write(note, static_cast<size_t>(noteSize));
        } else {
            file_.Write(data, line);
        }
        atLineStart_ = newline != nullptr;
        data += line;
        size -= line;
    }
}

void LogFileWriter::Run() {
    while (!stop_.load()) {
        Drain();
        std::this_thread::sleep_for(kWritePeriod);
    }
}
