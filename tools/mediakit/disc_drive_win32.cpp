// On Windows the folder is checked where it is: its full path is the root,
// a drive of its own ("E:\") when the folder is a disc's.
#include "disc_drive.h"

#include <windows.h>

#include <stdexcept>

CDiscDrive::CDiscDrive(const std::string& hostFolder)
{
    // "E:" alone names the drive, not the folder current on it.
    std::string folder = hostFolder.size() == 2 && hostFolder[1] == ':' ? hostFolder + "\\" : hostFolder;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw std::runtime_error(hostFolder + ": not a folder");
    }
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(folder.c_str(), sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full)) {
        throw std::runtime_error(hostFolder + ": the path is longer than 259 characters; the check rejects it");
    }
    root = full;
    if (root.back() != '\\') {
        root += '\\';
    }
}

CDiscDrive::~CDiscDrive() = default;
