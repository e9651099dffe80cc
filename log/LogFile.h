#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

// The log file on disk, in the folder asked for, or in the user's own state folder when that one
// cannot be written (see LogFolderCandidates); a link at its path is never followed, and only a
// regular file is written (see platform::OpenFileForAppend). Its name is tarvex_tracking.log for
// the one process that holds the lock on that file; another process that logs into the same
// folder at the same time writes tarvex_tracking.<process id>.log instead, so that each file has
// one writer that knows its size.
//
// It stays below a size cap: when the next write would pass it, the file is renamed to its name
// with ".1" added (replacing an older one) and a new file starts, so a long session keeps its most
// recent lines and never fills the disk. When the rename fails (a read-only folder, a file
// another program holds), the lines go on in the same file up to twice the cap, the renaming is
// tried again now and then, and at that bound a last line says so and the file takes no more.
// Every file a rotation starts begins with the head (see SetHead) and a line that says it goes on
// from the renamed one; the cap counts the lines after the head.
class LogFile {
public:
    static constexpr const char* kFileName = "tarvex_tracking.log";

    explicit LogFile(uint64_t capBytes) : capBytes_(capBytes) {}
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens for appending; an empty folder goes straight to the user's state folder, made when
    // missing. False when neither can be written.
    bool Open(const std::string& folder);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // The text that starts every file a rotation opens from now on: the log's first lines.
    void SetHead(std::string head) { head_ = std::move(head); }

    void Write(const char* data, size_t size);
    void Flush();

private:
    bool OpenInFolder(const std::string& folder);
    void Take(std::FILE* file, std::string path);
    bool Rotate();
    void WriteHead(const std::string& older);
    void StopAtHardBound();

    uint64_t capBytes_;
    std::FILE* file_ = nullptr;
    std::string path_;
    uint64_t size_ = 0;
    // After a failed rotation, the size at which it is tried again.
    uint64_t nextRotation_ = 0;
    bool stopped_ = false;
    std::string head_;
    // The bytes of the current file that are its head.
    uint64_t headBytes_ = 0;
};
