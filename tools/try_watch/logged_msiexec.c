/* MSIEXEC.EXE as ./kit try presents it to the disc's launcher: Wine's own
   msiexec, started with the command line the launcher gave and a verbose log
   added, since Wine's installer honours no logging policy. It waits for the
   installer and returns the installer's exit code. The log goes to
   %KIT_TRY_LOG% (C:\kit\install.log when unset). */
#include <windows.h>

static const wchar_t* CommandTail(const wchar_t* line)
{
    int quoted = 0;
    for (; *line != L'\0'; ++line) {
        if (*line == L'"') {
            quoted = !quoted;
        } else if (!quoted && (*line == L' ' || *line == L'\t')) {
            break;
        }
    }
    while (*line == L' ' || *line == L'\t') {
        ++line;
    }
    return line;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR unused, int show)
{
    static wchar_t folder[MAX_PATH], log[MAX_PATH], line[32768];
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
    DWORD code = 1603;
    (void)instance, (void)previous, (void)unused, (void)show;
    if (GetSystemDirectoryW(folder, MAX_PATH) == 0 ||
        GetEnvironmentVariableW(L"KIT_TRY_LOG", log, MAX_PATH) - 1 >= MAX_PATH - 1) {
        lstrcpyW(log, L"C:\\kit\\install.log");
    }
    if (wsprintfW(line, L"\"%s\\msiexec.exe\" ", folder) < 0 ||
        lstrlenW(line) + lstrlenW(CommandTail(GetCommandLineW())) + lstrlenW(log) + 16 > 32767) {
        return 1639;  /* ERROR_INVALID_COMMAND_LINE */
    }
    lstrcatW(line, CommandTail(GetCommandLineW()));
    lstrcatW(line, L" /l*v \"");
    lstrcatW(line, log);
    lstrcatW(line, L"\"");
    if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return 1603;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}
