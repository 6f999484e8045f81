/* The 32-bit msiexec.exe of a ./kit try prefix, for the one start the disc's
   launcher makes: it puts Wine's own msiexec.exe (kept beside it as
   kitmsiexec.exe) back in its place, then starts it with the command line it
   was given and a verbose log to %KIT_TRY_LOG% added (Wine's installer honours
   no logging policy). Putting it back first matters: the installer starts its
   custom-action servers from that very path, and they do not work behind a
   front. It waits for the installer and returns its exit code. */
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
    static wchar_t self[MAX_PATH], moved[MAX_PATH + 8], wine[MAX_PATH], log[MAX_PATH], line[32768];
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    const wchar_t* tail = CommandTail(GetCommandLineW());
    wchar_t* name;
    DWORD length, code = 1603;
    (void)instance, (void)previous, (void)unused, (void)show;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    length = GetModuleFileNameW(NULL, self, MAX_PATH);
    name = length > 0 && length < MAX_PATH ? wcsrchr(self, L'\\') : NULL;
    if (name == NULL || GetEnvironmentVariableW(L"KIT_TRY_LOG", log, MAX_PATH) - 1 >= MAX_PATH - 1 ||
        lstrlenW(self) + lstrlenW(tail) + lstrlenW(log) + 16 > 32767) {
        return 1639; /* ERROR_INVALID_COMMAND_LINE */
    }
    lstrcpyW(wine, self);
    lstrcpyW(wine + (name - self) + 1, L"kitmsiexec.exe");
    wsprintfW(moved, L"%s.front", self);
    /* A running program can be renamed, not replaced. */
    if (!MoveFileExW(self, moved, MOVEFILE_REPLACE_EXISTING) || !MoveFileW(wine, self)) {
        return 1603;
    }
    wsprintfW(line, L"\"%s\" %s /l*v \"%s\"", self, tail, log);
    if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return 1603;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}
