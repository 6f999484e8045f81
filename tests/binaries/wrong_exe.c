/* A deliberately wrong program: console subsystem, an advapi32 import, no icon
   and no version block, and a manifest that asks for elevation without the
   Common-Controls dependency. The binary check must name every fault. */
#include <windows.h>

int main(void)
{
    char name[64];
    DWORD size = sizeof(name);
    return GetUserNameA(name, &size) ? 0 : 1;
}
