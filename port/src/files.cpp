#include <windows.h>
#include <port/host.h>
#include "kernel_object.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PortFile : PortKernelObject {
    explicit PortFile(int descriptor) : fd(descriptor) {}
    ~PortFile() override { close(fd); }
    int fd;
};

PortFile* FileOf(HANDLE handle)
{
    return PortObjectOf<PortFile>(handle);
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                          LPSECURITY_ATTRIBUTES /*securityAttributes*/, DWORD creationDisposition,
                          DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/)
{
    std::string path = PortHostPath(fileName);
    if (path.empty() || creationDisposition != OPEN_EXISTING) {
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_RDONLY;
    if ((desiredAccess & GENERIC_WRITE) != 0) {
        flags = (desiredAccess & GENERIC_READ) != 0 ? O_RDWR : O_WRONLY;
    }
    int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        return INVALID_HANDLE_VALUE;
    }
    // Windows refuses to open a folder as a file.
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return static_cast<PortKernelObject*>(new PortFile(fd));
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh)
{
    PortFile* f = FileOf(file);
    struct stat info {};
    if (f == nullptr || fstat(f->fd, &info) != 0) {
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (fileSizeHigh != nullptr) {
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    return static_cast<DWORD>(size);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                     LPOVERLAPPED /*overlapped*/)
{
    PortFile* f = FileOf(file);
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    if (f == nullptr || (buffer == nullptr && bytesToRead != 0)) {
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytesToRead) {
        ssize_t got = read(f->fd, static_cast<char*>(buffer) + done, bytesToRead - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return FALSE;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<DWORD>(got);
    }
    if (bytesRead != nullptr) {
        *bytesRead = done;
    }
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    PortKernelObject* kernelObject = PortObjectOf<PortKernelObject>(object);
    if (kernelObject == nullptr) {
        return FALSE;
    }
    delete kernelObject;
    return TRUE;
}
