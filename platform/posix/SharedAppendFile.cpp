#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace platform {

std::FILE* OpenFileForAppend(const std::string& path) {
    // In a folder others can write, a link planted at the path must not take the lines elsewhere,
    // nor a file of someone else's take them at all. Only a regular file is taken: a named pipe
    // would stall the open or a write until someone reads it, and raise SIGPIPE once its reader
    // goes, and a device is no log. Opened without waiting so that such a thing is never waited
    // on before it is refused.
    const int descriptor =
        open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat opened {};
    const int flags = fcntl(descriptor, F_GETFL);
    if (fstat(descriptor, &opened) != 0 || opened.st_uid != geteuid() || !S_ISREG(opened.st_mode) ||
        flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
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
