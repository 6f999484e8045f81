// MessageBoxA and ShellExecuteExA on POSIX hosts: nothing is shown or started;
// each call is recorded for tests to read.
#include <windows.h>
#include <shellapi.h>
#include <port/host.h>
#include "kernel_object.h"

#include <vector>

struct HWND__ {};

namespace {

struct Records {
    unsigned calls = 0;
    std::vector<PortMessageBoxCall> messageBoxes;
    std::vector<PortShellStartCall> shellStarts;
    int openProcesses = 0;
};

Records& Recorded()
{
    static Records records;
    return records;
}

struct PortProcess : PortKernelObject {
    PortProcess() { ++Recorded().openProcesses; }
    ~PortProcess() override { --Recorded().openProcesses; }
};

std::string TextOf(LPCSTR text)
{
    return text != nullptr ? text : "";
}

}  // namespace

HWND WINAPI GetDesktopWindow()
{
    static HWND__ desktop;
    return &desktop;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Records& records = Recorded();
    records.messageBoxes.push_back({records.calls++, owner, TextOf(text), TextOf(caption), type});
    return IDOK;  // as if the user closed it at once
}

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* executeInfo)
{
    if (executeInfo == nullptr || executeInfo->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        return FALSE;
    }
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    Records& records = Recorded();
    records.shellStarts.push_back({records.calls++, executeInfo->cbSize, executeInfo->fMask,
                                   executeInfo->hwnd, TextOf(executeInfo->lpVerb),
                                   TextOf(executeInfo->lpFile), TextOf(executeInfo->lpParameters),
                                   executeInfo->lpDirectory != nullptr,
                                   TextOf(executeInfo->lpDirectory), executeInfo->nShow, current});
    // Success values as the shell gives them: an instance value above 32 and,
    // when asked for, a process handle the caller must close.
    executeInfo->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(33));
    executeInfo->hProcess = nullptr;
    if ((executeInfo->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
        executeInfo->hProcess = static_cast<PortKernelObject*>(new PortProcess());
    }
    return TRUE;
}

const std::vector<PortMessageBoxCall>& PortMessageBoxCalls()
{
    return Recorded().messageBoxes;
}

const std::vector<PortShellStartCall>& PortShellStartCalls()
{
    return Recorded().shellStarts;
}

int PortOpenProcessHandles()
{
    return Recorded().openProcesses;
}

void PortForgetUserCalls()
{
    Records& records = Recorded();
    records.calls = 0;
    records.messageBoxes.clear();
    records.shellStarts.clear();
}
