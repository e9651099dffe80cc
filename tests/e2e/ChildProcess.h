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
// `timeoutSeconds`.
ChildRun RunChild(const std::vector<std::string>& argv,
                  const std::map<std::string, std::optional<std::string>>& environment,
                  const std::string& outputFile, double timeoutSeconds);

std::string ReadFile(const std::string& path);

// A fresh, empty directory under the system's temporary directory.
std::string MakeTempDir();

}  // namespace e2e
