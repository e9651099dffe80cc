#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace platform {

std::FILE* OpenFileForAppend(const std::string& path) {
    // In a folder others can write, a link planted at the path must not take the lines elsewhere,
    // nor a file of someone else's take them at all.
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat opened {};
    if (fstat(descriptor, &opened) != 0 || opened.st_uid != geteuid() ||
        !(S_ISREG(opened.st_mode) || S_ISFIFO(opened.st_mode))) {
        close(descriptor);
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
