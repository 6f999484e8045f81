/* A deliberately wrong library: an extra export, a user32 import and (never
   stripped) its debug information. The binary check must reject it, or it
   could not be trusted to reject anything. */
#include <windows.h>

__declspec(dllexport) UINT WINAPI CheckItems(ULONG session) { (void)session; return 0; }
__declspec(dllexport) UINT WINAPI Extra(ULONG session) { (void)session; return MessageBeep(0); }
