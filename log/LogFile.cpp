#include "log/LogFile.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "log/LogFolders.h"
#include "platform/Platform.h"

namespace {

// Rotation is tried again after each sixteenth of the cap written past it.
constexpr uint64_t kRotationRetries = 16;

// The file at `path`, opened for appending, when this process can be its only writer.
std::FILE* OpenOwned(const std::string& path) {
    std::FILE* file = platform::OpenFileForAppend(path);
    // The path may have been renamed by its owner between the open and the lock.
    if (file != nullptr && !(platform::TryLockFile(file) && platform::IsFileAtPath(file, path))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

std::string ProcessFilePath(const std::filesystem::path& folder) {
    return (folder / ("tarvex_tracking." + std::to_string(platform::ProcessId()) + ".log"))
        .string();
}

}  // namespace

LogFile::~LogFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool LogFile::Open(const std::string& folder) {
    const std::string state = platform::UserStateFolder();
    for (const std::string& candidate : LogFolderCandidates(folder)) {
        if ((candidate != state || platform::MakePrivateFolder(candidate)) &&
            OpenInFolder(candidate)) {
            return true;
        }
    }
    return false;
}

bool LogFile::OpenInFolder(const std::string& folder) {
    for (const std::string& path :
         {(std::filesystem::path(folder) / kFileName).string(), ProcessFilePath(folder)}) {
        if (std::FILE* file = OpenOwned(path)) {
            Take(file, path);
            return true;
        }
    }
    return false;
}

void LogFile::Take(std::FILE* file, std::string path) {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    file_ = file;
    path_ = std::move(path);
    size_ = size > 0 ? static_cast<uint64_t>(size) : 0;
    nextRotation_ = 0;
    headBytes_ = 0;
}

void LogFile::Write(const char* data, size_t size) {
    if (file_ == nullptr || stopped_) {
        return;
    }
    // A file holds at least one line beyond its head, however small the cap.
    if (size_ > headBytes_ && size_ - headBytes_ + size > capBytes_ && size_ >= nextRotation_ &&
        !Rotate()) {
        nextRotation_ = std::max(nextRotation_, size_ + capBytes_ / kRotationRetries);
    }
    if (size_ > headBytes_ && size_ - headBytes_ + size > 2 * capBytes_) {
        StopAtHardBound();
        return;
    }
    size_ += std::fwrite(data, 1, size, file_);
}

void LogFile::Flush() {
    if (file_ != nullptr) {
        std::fflush(file_);
    }
}

bool LogFile::Rotate() {
    // Renamed while still open and locked, so that the lines so far never get a second writer.
    const std::string older = path_ + ".1";
    std::error_code error;
    std::filesystem::rename(path_, older, error);
    if (error) {
        return false;
    }
    // Another process may have taken the free name first: then this one goes on in its own.
    for (const std::string& path :
         {path_, ProcessFilePath(std::filesystem::path(path_).parent_path())}) {
        if (std::FILE* file = OpenOwned(path)) {
            Take(file, path);
            WriteHead(older);
            return true;
        }
    }
    // No new file: the lines go on in the renamed one, up to the hard bound.
    path_ = older;
    nextRotation_ = std::numeric_limits<uint64_t>::max();
    return false;
}

void LogFile::WriteHead(const std::string& older) {
    if (head_.empty()) {
        return;  // a file without a head goes on without saying so
    }
    char now[32];
    platform::FormatLocalTime(platform::CoarseWallClockNanoseconds(), now);
    const std::string mark = std::string(now) + " (continued: file started " + now +
                             " after rotation; the lines before are in " + older + ")\n";
    size_ += std::fwrite(head_.data(), 1, head_.size(), file_);
    size_ += std::fwrite(mark.data(), 1, mark.size(), file_);
    headBytes_ = size_;
}

void LogFile::StopAtHardBound() {
    char line[160];
    const int size = std::snprintf(line, sizeof(line),
                                   "(tarvex_tracking: this log file could not be rotated at its "
                                   "size cap of %llu bytes; no more lines are written to it)\n",
                                   static_cast<unsigned long long>(capBytes_));
    std::fwrite(line, 1, static_cast<size_t>(size), file_);
    std::fflush(file_);
    stopped_ = true;
}
