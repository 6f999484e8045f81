// One run of the launcher, from its settings to the start of the installer.
#pragma once
#include <windows.h>

// instance: the program's own module; commandTail: what follows the program
// name on its command line (may be null). Always 0: the launcher ends quietly
// whether or not it started anything.
int RunLauncher(HINSTANCE instance, const char* commandTail);
