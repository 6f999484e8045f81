// Host-side records of the user-interface and shell calls: natively nothing
// is shown or started, and tests read here what would have been.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct PortMessageBoxCall {
    unsigned order;  // position among all recorded calls
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct PortShellStartCall {
    unsigned order;
    DWORD size;
    ULONG mask;
    HWND owner;
    std::string verb;
    std::string file;
    std::string parameters;
    bool hasDirectory;
    std::string directory;
    int show;
    std::string inheritedDirectory;  // current directory at the call: where the program would start
};

const std::vector<PortMessageBoxCall>& PortMessageBoxCalls();
const std::vector<PortShellStartCall>& PortShellStartCalls();
// Process handles handed out by ShellExecuteExA and not yet closed.
int PortOpenProcessHandles();
void PortForgetUserCalls();
