// The shell's program start, for POSIX hosts: it records what it was asked
// (see port/host.h) and starts nothing.
#pragma once
#include <windows.h>

#define SEE_MASK_NOCLOSEPROCESS 0x00000040u

struct SHELLEXECUTEINFOA {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCSTR lpClass;
    void* hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
};
typedef SHELLEXECUTEINFOA* LPSHELLEXECUTEINFOA;

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* executeInfo);
