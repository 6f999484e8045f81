/* A deliberately wrong library: an extra export, a user32 import, a function
   Windows XP lacks, a way to start a thread and (never stripped) its debug
   information. The binary check must reject it, or it could not be trusted
   to reject anything. */
#include <windows.h>

static DWORD WINAPI Nothing(LPVOID unused) { (void)unused; return 0; }

__declspec(dllexport) UINT WINAPI CheckItems(ULONG session) { (void)session; return 0; }
__declspec(dllexport) UINT WINAPI Extra(ULONG session)
{
    HANDLE thread = CreateThread(NULL, 0, Nothing, NULL, 0, NULL);
    (void)session;
    return MessageBeep(0) + (UINT)GetTickCount64() + (thread != NULL);
}
