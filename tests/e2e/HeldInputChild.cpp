#include "tests/e2e/HeldInputChild.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace e2e {

ChildRun RunChildWithInputHeld(const std::vector<std::string>& argv,
                               const std::map<std::string, std::optional<std::string>>& environment,
                               const std::string& outputFile, double timeoutSeconds) {
    ChildRun run;
    int input[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) != 0) {
        run.output = "cannot make a pipe for the child's input";
        return run;
    }
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
        dup2(input[0], STDIN_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(input[0]);
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
    close(input[1]);
    if (!run.timedOut && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.output = ReadFile(outputFile);
    return run;
}

}  // namespace e2e
