#pragma once

#include <string>

namespace windows_test {

struct ProgramRun {
    bool started = false;
    bool timedOut = false;
    unsigned long exitCode = 0;
    std::string output;  // standard output and standard error together
};

// Runs a Windows program with this process's environment, its output going to `outputFile`, and
// ends it after `timeoutSeconds`.
ProgramRun RunProgram(const std::string& commandLine, const std::string& outputFile,
                      double timeoutSeconds);

}  // namespace windows_test
