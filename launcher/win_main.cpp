#include "launcher/command_tail.h"
#include "launcher/launcher_run.h"

// The tail the C runtime hands over is not used: its start-up code compares
// bytes as signed, so an unquoted program path with a byte of 0x80 or above
// ends its name there and the rest of the path would become the package.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*runtimeTail*/, int /*show*/)
{
    return RunLauncher(instance, CommandTailOf(GetCommandLineA()));
}
