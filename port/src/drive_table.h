// The drive table shared by the path mapping and the drive services.
#pragma once
#include <windows.h>
#include <string>

struct PortDrive {
    UINT type = 0;
    std::string hostFolder;
};

// Indexed by letter 'A'..'Z' minus 'A'.
PortDrive (&PortDrives())[26];
