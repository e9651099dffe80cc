#include "tools/demo/DemoOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace demo {
namespace {

bool ParseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

}  // namespace

void PrintUsage() {
    std::puts(
        "usage: tarvex-demo [--frames N | --seconds S] [--path-start S] [--plot FILE]\n"
        "                   [--runtime-record FILE] [--dump-views FILE]\n"
        "  --frames N          run N frames (default: run for --seconds, 10)\n"
        "  --seconds S         run for S seconds\n"
        "  --path-start S      the simulator's start time (monotonic seconds, its first line):\n"
        "                      compare the received head with the simulator's circle walk\n"
        "  --plot FILE         where to write the top-down SVG (default tarvex-demo-views.svg)\n"
        "  --runtime-record F  the stand-in runtime's record file, read for the runtime's own\n"
        "                      view poses (default: $TARVEX_STANDIN_RUNTIME_RECORD, else\n"
        "                      FILE.runtime-record.txt beside the plot)\n"
        "  --dump-views FILE   write every view pair the application received, one line each:\n"
        "                      received call_seconds=S display_time=NS view0=POSE view1=POSE\n"
        "                      (a pose is px,py,pz,qx,qy,qz,qw)\n"
        "exit codes: 0 done, 1 usage, 2 OpenXR failure, 3 no reference space (no headset pose)");
}

std::optional<DemoOptions> ParseOptions(int argc, char** argv) {
    DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* name = argv[i];
        if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) {
            PrintUsage();
            std::exit(kExitOk);
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tarvex-demo: %s needs a value\n", name);
            return std::nullopt;
        }
        const char* value = argv[++i];
        double number = 0.0;
        if (std::strcmp(name, "--frames") == 0 && ParseNumber(value, number) && number >= 1.0 &&
            number == std::floor(number)) {
            options.frames = static_cast<uint64_t>(number);
        } else if (std::strcmp(name, "--seconds") == 0 && ParseNumber(value, number) &&
                   number > 0.0) {
            options.seconds = number;
            options.frames = 0;
        } else if (std::strcmp(name, "--path-start") == 0 && ParseNumber(value, number)) {
            options.pathStart = number;
        } else if (std::strcmp(name, "--plot") == 0 && *value != '\0') {
            options.plotPath = value;
        } else if (std::strcmp(name, "--runtime-record") == 0 && *value != '\0') {
            options.runtimeRecordPath = value;
        } else if (std::strcmp(name, "--dump-views") == 0 && *value != '\0') {
            options.dumpViewsPath = value;
        } else {
            std::fprintf(stderr, "tarvex-demo: cannot use %s %s\n", name, value);
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace demo
