#pragma once

#include <string>
#include <vector>

#include "tests/e2e/ChildProcess.h"

namespace e2e {

// Like RunChild, but the child's standard input is a pipe the test holds open until the child has
// ended: a program that quits at the end of its input (hello_xr, waiting for a key) keeps running.
ChildRun RunChildWithInputHeld(const std::vector<std::string>& argv,
                               const std::map<std::string, std::optional<std::string>>& environment,
                               const std::string& outputFile, double timeoutSeconds);

}  // namespace e2e
