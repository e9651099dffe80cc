#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE HandleOf(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

}  // namespace

std::FILE* OpenFileForAppend(const std::string& path) {
    // Sharing deletion is what lets the file be renamed while it is open. A link or junction at
    // the path is opened as itself, and then refused, rather than followed; so is anything but a
    // file on disk (a named pipe, a device), whose writes could stall.
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION opened{};
    if (GetFileType(handle) != FILE_TYPE_DISK || GetFileInformationByHandle(handle, &opened) == 0 ||
        (opened.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
            0) {
        CloseHandle(handle);
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "ab");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

bool TryLockFile(std::FILE* file) {
    // Windows locks keep others from reading the bytes they cover: lock one byte far past any
    // log's end, which no reader ever asks for.
    OVERLAPPED where{};
    where.OffsetHigh = 0x40000000;
    return LockFileEx(HandleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &where) != 0;
}

bool IsFileAtPath(std::FILE* file, const std::string& path) {
    HANDLE named = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION namedInfo{};
    BY_HANDLE_FILE_INFORMATION openedInfo{};
    const bool known = GetFileInformationByHandle(named, &namedInfo) != 0 &&
                       GetFileInformationByHandle(HandleOf(file), &openedInfo) != 0;
    CloseHandle(named);
    return known && namedInfo.dwVolumeSerialNumber == openedInfo.dwVolumeSerialNumber &&
           namedInfo.nFileIndexHigh == openedInfo.nFileIndexHigh &&
           namedInfo.nFileIndexLow == openedInfo.nFileIndexLow;
}

}  // namespace platform
