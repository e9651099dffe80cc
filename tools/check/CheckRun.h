#pragma once

// The whole check as a function, so that tests can run it in their own process.

#include <string>
#include <vector>

#include "tools/check/MocapCheck.h"

struct CheckRunResult {
    int exitCode = 0;
    std::string output;  // what the program prints: the report, or for exit code 2 the complaint
};

// args without the program name. Exit codes: 0 every needed check holds, 1 one failed,
// 2 the command line is wrong. ports points the motion-capture check elsewhere (tests only).
CheckRunResult RunCheck(const std::vector<std::string>& args, const MocapPorts& ports = {});
