#include <port/host.h>
#include "drive_table.h"

#include <cctype>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The drives' folders as one thread keeps them open: threads looking names up
// through one shared descriptor contend for its reference count in the host.
struct ThreadDriveFolders {
    int fd[26];
    unsigned mapping[26] = {};
    ThreadDriveFolders()
    {
        for (int& folder : fd) {
            folder = -1;
        }
    }
    ~ThreadDriveFolders()
    {
        for (int folder : fd) {
            if (folder >= 0) {
                close(folder);
            }
        }
    }
};

int DriveFolder(int index, const PortDrive& drive)
{
    thread_local ThreadDriveFolders folders;
    unsigned mapping = drive.mapping.load();
    int& fd = folders.fd[index];
    if (fd >= 0 && folders.mapping[index] == mapping) {
        return fd;
    }
    if (fd >= 0) {
        close(fd);
    }
    fd = open(drive.hostFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    folders.mapping[index] = mapping;
    return fd;
}

}  // namespace

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
    ++drive.mapping;
    drive.type = hostFolder.empty() ? 0 : driveType;
    drive.hostFolder = hostFolder;
}

PortHostLocation PortHostAt(LPCSTR windowsPath)
{
    if (windowsPath == nullptr || windowsPath[0] == '\0' || windowsPath[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        return PortHostLocation{AT_FDCWD, PortHostPath(windowsPath)};
    }
    int index = std::toupper(static_cast<unsigned char>(windowsPath[0])) - 'A';
    const PortDrive& drive = PortDrives()[index];
    if (drive.hostFolder.empty()) {
        return PortHostLocation{AT_FDCWD, std::string()};
    }
    int folderFd = DriveFolder(index, drive);
    if (folderFd < 0) {
        return PortHostLocation{AT_FDCWD, PortHostPath(windowsPath)};
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
    return PortHostLocation{folderFd, path};
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
