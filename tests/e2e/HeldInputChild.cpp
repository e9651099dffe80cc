#include "tests/e2e/HeldInputChild.h"

#include <fcntl.h>
#include <unistd.h>

namespace e2e {

ChildRun RunChildWithInputHeld(const std::vector<std::string>& argv,
                               const std::map<std::string, std::optional<std::string>>& environment,
                               const std::string& outputFile, double timeoutSeconds) {
    int input[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) != 0) {
        ChildRun run;
        run.output = "cannot make a pipe for the child's input";
        return run;
    }
    // The write end stays open here until the child has ended, so its input never ends.
    const ChildRun run = RunChild(argv, environment, outputFile, timeoutSeconds, input[0]);
    close(input[0]);
    close(input[1]);
    return run;
}

}  // namespace e2e
