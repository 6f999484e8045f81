// The user-interface calls the system makes: the desktop window and a message box.
#pragma once
#include <port/win_types.h>

struct HWND__;
typedef HWND__* HWND;

#define MB_OK 0x00000000u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define SW_SHOW 5

HWND WINAPI GetDesktopWindow();
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
