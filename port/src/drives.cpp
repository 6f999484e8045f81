#include <windows.h>
#include <port/host.h>
#include "drive_table.h"
#include "probe_record.h"

#include <cctype>
#include <cstring>
#include <sys/stat.h>

DWORD WINAPI GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer)
{
    std::string list;
    for (int index = 0; index < 26; ++index) {
        if (!PortDrives()[index].hostFolder.empty()) {
            list += static_cast<char>('A' + index);
            list += ":\\";
            list += '\0';
        }
    }
    // Too small: the size needed, the closing zero included; nothing is written.
    if (list.size() + 1 > bufferLength || buffer == nullptr) {
        return static_cast<DWORD>(list.size() + 1);
    }
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
}

UINT WINAPI GetDriveTypeA(LPCSTR rootPathName)
{
    PortNoteProbe("GetDriveTypeA", rootPathName);
    // Only a drive root names a drive: "E:\" (or "E:/", or "E:").
    if (rootPathName == nullptr || !std::isalpha(static_cast<unsigned char>(rootPathName[0])) ||
        rootPathName[1] != ':' ||
        (rootPathName[2] != '\0' &&
         ((rootPathName[2] != '\\' && rootPathName[2] != '/') || rootPathName[3] != '\0'))) {
        return DRIVE_NO_ROOT_DIR;
    }
    const PortDrive& drive = PortDrives()[std::toupper(static_cast<unsigned char>(rootPathName[0])) - 'A'];
    return drive.hostFolder.empty() ? DRIVE_NO_ROOT_DIR : drive.type;
}

DWORD WINAPI GetFileAttributesA(LPCSTR fileName)
{
    PortNoteProbe("GetFileAttributesA", fileName);
    std::string hostPath = PortHostPath(fileName);
    struct stat info {};
    if (hostPath.empty() || stat(hostPath.c_str(), &info) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    // The bits Wine reports for a host entry: folder or archive, and
    // read-only when no write permission is set (as on a disc).
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}
