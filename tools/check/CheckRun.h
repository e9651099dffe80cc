#pragma once

// The whole check as a function, so that tests can run it in their own process.

#include <string>
#include <vector>

struct CheckRunResult {
    int exitCode = 0;
    std::string output;  // what the program prints on standard output
};

// args without the program name. Exit codes: 0 every needed check holds, 1 one failed,
// 2 the command line is wrong.
CheckRunResult RunCheck(const std::vector<std::string>& args);
