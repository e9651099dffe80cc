#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/Platform.h"

namespace platform {

namespace {

// Only absolute folders count: a relative one would depend on the application's working folder.
std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// The account's home folder from the user database, for a process started without HOME.
std::string AccountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return {};
    }
    return found->pw_dir;
}

}  // namespace

std::string UserStateFolder() {
    if (std::string state = AbsoluteVariable("XDG_STATE_HOME"); !state.empty()) {
        return state + "/tarvex";
    }
    std::string home = AbsoluteVariable("HOME");
    if (home.empty()) {
        home = AccountHome();
    }
    return home.empty() ? std::string() : home + "/.local/state/tarvex";
}

bool MakePrivateFolder(const std::string& path) {
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string level = path.substr(0, end);
        if (!level.empty() && mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat folder {};
    return stat(path.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
}

bool CanWriteFolder(const std::string& path) {
    struct stat folder {};
    return stat(path.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) &&
           access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace platform
