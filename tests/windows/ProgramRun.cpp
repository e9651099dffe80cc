#include "tests/windows/ProgramRun.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace windows_test {

ProgramRun RunProgram(const std::string& commandLine, const std::string& outputFile,
                      double timeoutSeconds) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        run.output = "cannot create " + outputFile;
        return run;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    run.started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process) != 0;
    CloseHandle(output);
    if (!run.started) {
        run.output = "cannot start " + commandLine;
        return run;
    }
    const auto milliseconds = static_cast<DWORD>(timeoutSeconds * 1000.0);
    if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0) {
        run.timedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    run.exitCode = exitCode;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ostringstream text;
    text << std::ifstream(outputFile, std::ios::binary).rdbuf();
    run.output = text.str();
    return run;
}

}  // namespace windows_test
