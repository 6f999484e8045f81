/* A deliberately wrong program: console subsystem, an advapi32 import, no icon
   and no version block, a manifest that asks for elevation without the
   Common-Controls dependency, and the link time in its header. The binary
   check must name every fault. */
#include <windows.h>

int main(void)
{
    char name[64];
    DWORD size = sizeof(name);
    return GetUserNameA(name, &size) ? 0 : 1;
}
