#include <cstdio>
#include <string>
#include <vector>

#include "tools/check/CheckRun.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CheckRunResult result = RunCheck(args);
    // The two wrong-command-line texts go to standard error, the report to standard output.
    std::FILE* stream = result.exitCode == 2 ? stderr : stdout;
    std::fwrite(result.output.data(), 1, result.output.size(), stream);
    std::fflush(stream);
    return result.exitCode;
}
