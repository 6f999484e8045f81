#include "launcher/launcher_run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandTail, int /*show*/)
{
    return RunLauncher(instance, commandTail);
}
