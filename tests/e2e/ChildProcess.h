#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A program run to completion with its own environment changes, its output kept in a file.
struct ChildRun {
    int exitCode = -1;  // -1 when it was killed or did not exit normally
    bool timedOut = false;
    std::string output;  // standard output and standard error, interleaved
};

// Environment values: a string sets the variable, nullopt removes it. The child is killed after
// `timeoutSeconds`. With `inputFd` the child reads its standard input from that descriptor, else
// from the test's.
ChildRun RunChild(const std::vector<std::string>& argv,
                  const std::map<std::string, std::optional<std::string>>& environment,
                  const std::string& outputFile, double timeoutSeconds, int inputFd = -1);

// A program left running beside the test (a server), its output kept in a file. It is stopped
// with SIGTERM, and killed if it does not end within a few seconds, at the latest on destruction.
class BackgroundChild {
public:
    BackgroundChild(const std::vector<std::string>& argv,
                    const std::map<std::string, std::optional<std::string>>& environment,
                    std::string outputFile);
    ~BackgroundChild();
    BackgroundChild(const BackgroundChild&) = delete;
    BackgroundChild& operator=(const BackgroundChild&) = delete;

    // Waits until the output holds a line starting with `prefix` and returns that line; nullopt
    // if the child exits or the time runs out first.
    std::optional<std::string> WaitForLine(const std::string& prefix, double timeoutSeconds);
    // Stops the child and returns its exit code (-1 when it had to be killed).
    int Stop();
    // Waits until the child ends by itself and returns its exit code; stops it as Stop does when
    // the time runs out first.
    int WaitForExit(double timeoutSeconds);
    std::string Output() const;

private:
    int pid_ = -1;
    std::string outputFile_;
    int exitCode_ = -1;
};

std::string ReadFile(const std::string& path);

// A fresh, empty directory under the system's temporary directory.
std::string MakeTempDir();

}  // namespace e2e
