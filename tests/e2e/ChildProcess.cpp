#include "tests/e2e/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace e2e {

namespace {

pid_t Spawn(const std::vector<std::string>& argv,
            const std::map<std::string, std::optional<std::string>>& environment,
            const std::string& outputFile, int inputFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : environment) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        const int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        if (inputFd >= 0) {
            dup2(inputFd, STDIN_FILENO);
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

}  // namespace

ChildRun RunChild(const std::vector<std::string>& argv,
                  const std::map<std::string, std::optional<std::string>>& environment,
                  const std::string& outputFile, double timeoutSeconds, int inputFd) {
    ChildRun run;
    const pid_t pid = Spawn(argv, environment, outputFile, inputFd);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            run.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!run.timedOut && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.output = ReadFile(outputFile);
    return run;
}

BackgroundChild::BackgroundChild(
    const std::vector<std::string>& argv,
    const std::map<std::string, std::optional<std::string>>& environment, std::string outputFile)
    : pid_(Spawn(argv, environment, outputFile, -1)), outputFile_(std::move(outputFile)) {}

BackgroundChild::~BackgroundChild() {
    Stop();
}

std::optional<std::string> BackgroundChild::WaitForLine(const std::string& prefix,
                                                        double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::istringstream lines(Output());
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with(prefix) && !lines.eof()) {
                return line;
            }
        }
        if (pid_ <= 0) {
            return std::nullopt;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

int BackgroundChild::Stop() {
    if (pid_ <= 0) {
        return exitCode_;
    }
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    } else if (done == pid_ && WIFEXITED(status)) {
        exitCode_ = WEXITSTATUS(status);
    }
    pid_ = -1;
    return exitCode_;
}

int BackgroundChild::WaitForExit(double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return Stop();
}

std::string BackgroundChild::Output() const {
    return ReadFile(outputFile_);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string MakeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

}  // namespace e2e
