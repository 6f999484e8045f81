/* A deliberately wrong program: console subsystem, an advapi32 import, no icon
   and no version block, a manifest that asks for elevation without the
   Common-Controls dependency, the link time in its header, and more bytes
   than a launcher may take. The binary check must name every fault. */
#include <windows.h>

static const char padding[256 * 1024] = {1};

int main(void)
{
    char name[64];
    DWORD size = sizeof(name);
    return GetUserNameA(name, &size) ? padding[size] : 1;
}
