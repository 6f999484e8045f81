#include <windows.h>
#include <port/host.h>
#include "drive_table.h"
#include "kernel_object.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdint>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The most Linux reads or writes in one call.
const DWORD maxHostRead = 0x7FFFF000u;

struct PortFile;

// Every open file handle of the process: Windows checks a new opener's
// access and sharing against the handles already open on the same file.
std::set<PortFile*>& OpenFiles()
{
    static std::set<PortFile*> files;
    return files;
}

struct PortFile : PortKernelObject {
    PortFile(int descriptor, const struct stat& info, DWORD desiredAccess, DWORD shareMode)
        : fd(descriptor), device(info.st_dev), inode(info.st_ino), access(desiredAccess),
          share(shareMode)
    {
        OpenFiles().insert(this);
    }
    ~PortFile() override
    {
        OpenFiles().erase(this);
        close(fd);
    }
    int fd;
    dev_t device;
    ino_t inode;
    DWORD access;
    DWORD share;
};

PortFile* FileOf(HANDLE handle)
{
    return PortObjectOf<PortFile>(handle);
}

// A sharing violation: either side wants what the other does not share.
bool SharingConflicts(const struct stat& info, DWORD desiredAccess, DWORD shareMode)
{
    for (const PortFile* open : OpenFiles()) {
        if (open->device != info.st_dev || open->inode != info.st_ino) {
            continue;
        }
        if (((desiredAccess & GENERIC_READ) != 0 && (open->share & FILE_SHARE_READ) == 0) ||
            ((desiredAccess & GENERIC_WRITE) != 0 && (open->share & FILE_SHARE_WRITE) == 0) ||
            ((open->access & GENERIC_READ) != 0 && (shareMode & FILE_SHARE_READ) == 0) ||
            ((open->access & GENERIC_WRITE) != 0 && (shareMode & FILE_SHARE_WRITE) == 0)) {
            return true;
        }
    }
    return false;
}

// What Windows reports for a write the host refused.
DWORD WriteError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    default:
        return ERROR_WRITE_FAULT;
    }
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES /*securityAttributes*/, DWORD creationDisposition,
                          DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/)
{
    PortHostLocation location = PortHostAt(fileName);
    if (location.path.empty() || creationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_RDONLY;
    if ((desiredAccess & GENERIC_WRITE) != 0) {
        flags = (desiredAccess & GENERIC_READ) != 0 ? O_RDWR : O_WRONLY;
    }
    // Not blocking, so that opening a FIFO without a writer cannot hang: it is
    // refused below like every other entry that is not a regular file.
    int fd = openat(location.base, location.path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // Windows refuses to open a folder as a file; devices, FIFOs and sockets
    // have no place on a disc and are never read as files.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // A file without write permission is read-only to Windows, even for root.
    if ((desiredAccess & GENERIC_WRITE) != 0 && (info.st_mode & S_IWUSR) == 0) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (SharingConflicts(info, desiredAccess, shareMode)) {
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    // O_NONBLOCK stays set: it has no effect on a regular file's reads and
    // writes, and clearing it would cost two calls for every file opened.
    try {
        return static_cast<PortKernelObject*>(new PortFile(fd, info, desiredAccess, shareMode));
    } catch (...) {
        close(fd);
        throw;
    }
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh)
{
    PortFile* f = FileOf(file);
    struct stat info {};
    if (f == nullptr || fstat(f->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
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
        // A regular file reads short only at its end, unless the host cut a
        // request above its per-call limit: then the loop carries on.
        bool atEnd = static_cast<DWORD>(got) < bytesToRead - done && bytesToRead - done <= maxHostRead;
        done += static_cast<DWORD>(got);
        if (atEnd) {
            break;
        }
    }
    if (bytesRead != nullptr) {
        *bytesRead = done;
    }
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh,
                            DWORD moveMethod)
{
    PortFile* f = FileOf(file);
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (f == nullptr || moveMethod > FILE_END) {
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit value.
    int64_t distance = distanceToMove;
    if (distanceToMoveHigh != nullptr) {
        uint64_t high = static_cast<DWORD>(*distanceToMoveHigh);
        distance = static_cast<int64_t>((high << 32) | static_cast<DWORD>(distanceToMove));
    }
    off_t position = lseek(f->fd, static_cast<off_t>(distance), whence[moveMethod]);
    if (position < 0) {
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceToMoveHigh != nullptr) {
        *distanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    }
    return static_cast<DWORD>(position);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED /*overlapped*/)
{
    PortFile* f = FileOf(file);
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    if (f == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((buffer == nullptr && bytesToWrite != 0) || (f->access & GENERIC_WRITE) == 0) {
        SetLastError(buffer == nullptr ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD done = 0;
    while (done < bytesToWrite) {
        ssize_t put = write(f->fd, static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            // As under Wine: a write that stops partway succeeds with the
            // count it wrote; one that writes nothing fails and reports 0.
            if (done > 0) {
                break;
            }
            SetLastError(WriteError(put < 0 ? errno : ENOSPC));
            return FALSE;
        }
        done += static_cast<DWORD>(put);
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = done;
    }
    return TRUE;
}

BOOL WINAPI SetEndOfFile(HANDLE file)
{
    PortFile* f = FileOf(file);
    if (f == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((f->access & GENERIC_WRITE) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    off_t position = lseek(f->fd, 0, SEEK_CUR);
    // Like Wine on Linux: a longer file gets a hole, which reserves no room.
    if (position < 0 || ftruncate(f->fd, position) != 0) {
        SetLastError(WriteError(errno));
        return FALSE;
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
