#include "log/LogFile.h"

#include <filesystem>
#include <system_error>

LogFile::~LogFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool LogFile::Open(const std::string& folder) {
    if (!folder.empty() && OpenAt((std::filesystem::path(folder) / kFileName).string())) {
        return true;
    }
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    return !error && OpenAt((temporary / kFileName).string());
}

bool LogFile::OpenAt(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    file_ = file;
    path_ = path;
    size_ = size > 0 ? static_cast<uint64_t>(size) : 0;
    return true;
}

void LogFile::Write(const char* data, size_t size) {
    if (file_ == nullptr) {
        return;
    }
    if (size_ > 0 && size_ + size > capBytes_) {
        Rotate();
        if (file_ == nullptr) {
            return;
        }
    }
    size_ += std::fwrite(data, 1, size, file_);
}

void LogFile::Flush() {
    if (file_ != nullptr) {
        std::fflush(file_);
    }
}

void LogFile::Rotate() {
    std::fclose(file_);
    file_ = nullptr;
    const std::string older = path_ + ".1";
    // Windows does not rename over an existing file.
    std::remove(older.c_str());
    std::rename(path_.c_str(), older.c_str());
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file != nullptr) {
        file_ = file;
        size_ = 0;
    }
}
