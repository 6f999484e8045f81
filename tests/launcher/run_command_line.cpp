// Starts a program with exactly the command line it is given and waits for
// it; the exit code is the program's. Wine's own start always quotes the
// program name, so an unquoted one can only be had this way.
//   run_command_line.exe "<program> <arguments>"
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: run_command_line.exe \"<program> <arguments>\"\n");
        return 2;
    }
    std::string line = argv[1];
    std::vector<char> commandLine(line.begin(), line.end());  // CreateProcessA may write into it
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "CreateProcessA failed with error %lu\n", GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 2;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
