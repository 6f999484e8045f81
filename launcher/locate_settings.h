// Where the running program finds its settings file and its directory.
#pragma once
#include <windows.h>

#include <string>

struct SettingsLocation {
    // Beside the program, named after the short form of its file name:
    // D:\SETUP\INSTAL~1.EXE reads D:\SETUP\INSTAL~1.ini.
    std::string settingsPath;
    std::string launcherDirectory;  // short form, ending in a separator
};

// instance: the program's own module, as WinMain receives it.
SettingsLocation LocateSettings(HINSTANCE instance);

// The short form of the program's directory, ending in a separator; the long
// form when the platform gives no short one.
std::string LocateSourceDirectory(HINSTANCE instance);
