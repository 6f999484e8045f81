// The drive table shared by the path mapping and the drive services.
#pragma once
#include <windows.h>
#include <atomic>
#include <string>

struct PortDrive {
    UINT type = 0;
    std::string hostFolder;
    // Counted up at every remapping: each thread keeps the folder open for
    // itself while the count stays.
    std::atomic<unsigned> mapping{0};
};

// Where a host call finds a Windows path: a folder descriptor (AT_FDCWD for
// the working directory) and the path from it, for the *at calls.
struct PortHostLocation {
    int base;
    std::string path;
};

// Indexed by letter 'A'..'Z' minus 'A'.
PortDrive (&PortDrives())[26];

// A path on a mapped drive is resolved from the drive's folder, which the
// calling thread keeps open, so that the host walks only the components below
// it, as it does for Windows; any other path as PortHostPath names it. An
// empty path when the drive is not mapped.
PortHostLocation PortHostAt(LPCSTR windowsPath);
