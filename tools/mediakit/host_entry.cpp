#include "host_entry.h"

#include <port/host.h>

#include <sys/stat.h>

const char* NonRegularKind(mode_t mode)
{
    if (S_ISREG(mode) || S_ISDIR(mode)) {
        return nullptr;
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a symbolic link that leads nowhere";
}

const char* NonRegularKindOf(const std::string& windowsPath)
{
    std::string hostPath = PortHostPath(windowsPath.c_str());
    struct stat info {};
    if (hostPath.empty()) {
        return nullptr;
    }
    if (stat(hostPath.c_str(), &info) != 0) {
        return lstat(hostPath.c_str(), &info) == 0 ? NonRegularKind(info.st_mode) : nullptr;
    }
    return NonRegularKind(info.st_mode);
}
