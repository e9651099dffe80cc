#pragma once

// The simulator's command line: its switches into SimOptions, or the text to print instead.

#include <string>

#include "tools/mocap-sim/SimOptions.h"

inline constexpr int kSimExitBadArguments = 2;

struct SimCommandLine {
    SimOptions options;
    bool run = false;     // false: print `message` and exit with `exitCode`
    int exitCode = 0;     // 0 after --help and --version, kSimExitBadArguments after an error
    std::string message;  // the help or version text, or the error line
};

SimCommandLine ParseSimCommandLine(int argc, const char* const* argv);
