#include <port/host.h>
#include "drive_table.h"

#include <cctype>

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
    PortDrives()[index].type = hostFolder.empty() ? 0 : driveType;
    PortDrives()[index].hostFolder = hostFolder;
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
