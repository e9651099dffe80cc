#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The log file on disk: tarvex_tracking.log in the folder asked for, or in the system's temporary
// folder when that one cannot be written. It stays below a size cap: when the next write would
// pass it, the file becomes tarvex_tracking.log.1 (replacing an older one) and a new file starts,
// so a long session keeps its most recent lines and never fills the disk.
class LogFile {
public:
    static constexpr const char* kFileName = "tarvex_tracking.log";

    explicit LogFile(uint64_t capBytes) : capBytes_(capBytes) {}
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens for appending; an empty folder goes straight to the temporary folder. False when
    // neither can be written.
    bool Open(const std::string& folder);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    void Write(const char* data, size_t size);
    void Flush();

private:
    bool OpenAt(const std::string& path);
    void Rotate();

    uint64_t capBytes_;
    std::FILE* file_ = nullptr;
    std::string path_;
    uint64_t size_ = 0;
};
