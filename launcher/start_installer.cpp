#include "launcher/start_installer.h"

#include <windows.h>
#include <shellapi.h>

void StartInstaller(const char* program, const std::string& parameters)
{
    SHELLEXECUTEINFOA startInfo = {};
    startInfo.cbSize = sizeof(startInfo);
    startInfo.fMask = SEE_MASK_NOCLOSEPROCESS;
    startInfo.hwnd = GetDesktopWindow();  // owns any message the shell shows
    startInfo.lpVerb = "open";
    startInfo.lpFile = program;
    startInfo.lpParameters = parameters.c_str();
    startInfo.nShow = SW_SHOW;
    // Whether the start worked is not looked at: the launcher has no one to
    // tell. The process handle is closed at once so that nothing is left open.
    if (ShellExecuteExA(&startInfo) && startInfo.hProcess != nullptr) {
        CloseHandle(startInfo.hProcess);
    }
}
