/* A deliberately wrong library: an extra export and a user32 import. The
   binary check must reject it, or it could not be trusted to reject anything. */
#include <windows.h>

__declspec(dllexport) UINT WINAPI CheckItems(ULONG session) { (void)session; return 0; }
__declspec(dllexport) UINT WINAPI Extra(ULONG session) { (void)session; return MessageBeep(0); }
