#include <port/host.h>
#include "drive_table.h"

#include <cctype>
#include <fcntl.h>
#include <unistd.h>

PortDrive (&PortDrives())[26] {
    static PortDrive drives[26];
    return drives;
}

void PortSetDrive(char letter, UINT driveType, const std::string& hostFolder)
{
    int index = std::toupper(static_cast<unsigned char>(letter)) - 'A';
    if (index < 0 || index >= 26) {
        return;
    }
    PortDrive& drive = PortDrives()[index];
    if (drive.folderFd >= 0) {
        close(drive.folderFd);
        drive.folderFd = -1;
    }
    drive.type = hostFolder.empty() ? 0 : driveType;
    drive.hostFolder = hostFolder;
}

PortHostLocation PortHostAt(LPCSTR windowsPath)
{
    if (windowsPath == nullptr || windowsPath[0] == '\0' || windowsPath[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        return PortHostLocation{AT_FDCWD, PortHostPath(windowsPath)};
    }
    PortDrive& drive = PortDrives()[std::toupper(static_cast<unsigned char>(windowsPath[0])) - 'A'];
    if (drive.hostFolder.empty()) {
        return PortHostLocation{AT_FDCWD, std::string()};
    }
    if (drive.folderFd < 0) {
        drive.folderFd = open(drive.hostFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (drive.folderFd < 0) {
            return PortHostLocation{AT_FDCWD, PortHostPath(windowsPath)};
        }
    }
    const char* rest = windowsPath + 2;
    while (*rest == '\\' || *rest == '/') {
        ++rest;
    }
    std::string path = *rest != '\0' ? rest : ".";
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return PortHostLocation{drive.folderFd, path};
}

std::string PortHostPath(LPCSTR windowsPath)
{
    if (windowsPath == nullptr) {
        return std::string();
    }
    std::string rest = windowsPath;
    std::string host;
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        const PortDrive& drive = PortDrives()[std::toupper(static_cast<unsigned char>(rest[0])) - 'A'];
        if (drive.hostFolder.empty()) {
            return std::string();
        }
        host = drive.hostFolder;
        rest.erase(0, 2);
        if (rest.empty() || (rest[0] != '\\' && rest[0] != '/')) {
            rest.insert(0, "/");
        }
    }
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    return host + rest;
}
