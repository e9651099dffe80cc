#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace platform {

std::FILE* OpenFileForAppend(const std::string& path) {
    const int descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = fdopen(descriptor, "ab");
    if (file == nullptr) {
        close(descriptor);
    }
    return file;
}

bool TryLockFile(std::FILE* file) {
    // flock belongs to the open file description: a second open of the same file, in this process
    // or another, does not get it.
    return flock(fileno(file), LOCK_EX | LOCK_NB) == 0;
}

bool IsFileAtPath(std::FILE* file, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(fileno(file), &opened) == 0 && stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace platform
