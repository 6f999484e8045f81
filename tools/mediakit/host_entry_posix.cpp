#include "host_entry.h"

#include <port/host.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

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

HostFileKind ExamineHostFile(const std::string& path, FileKey& key)
{
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        return HostFileKind::missing;
    }
    struct stat info {};
    if (!fs::is_regular_file(status) || stat(path.c_str(), &info) != 0) {
        return HostFileKind::other;
    }
    key.volume = static_cast<uint64_t>(info.st_dev);
    key.index = static_cast<uint64_t>(info.st_ino);
    return HostFileKind::regular;
}

bool HostFileSize(const std::string& path, uint64_t& size)
{
    std::error_code error;
    size = fs::file_size(path, error);
    return !error;
}

std::string ResizeHostFile(const std::string& path, uint64_t size)
{
    std::error_code error;
    fs::resize_file(path, size, error);
    return error ? error.message() : "";
}
