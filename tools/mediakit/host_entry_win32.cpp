#include "host_entry.h"

#include <windows.h>

namespace {

// An open handle of what path leads to (links followed), or none.
HANDLE OpenFollowing(const std::string& path)
{
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::string SystemErrorText(unsigned long error)
{
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length != 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

// A Windows folder holds files, folders and reparse points; only a link
// whose target is gone is something a disc cannot carry.
const char* NonRegularKindOf(const std::string& windowsPath)
{
    DWORD attributes = GetFileAttributesA(windowsPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return nullptr;
    }
    HANDLE target = OpenFollowing(windowsPath);
    if (target == INVALID_HANDLE_VALUE) {
        return "a symbolic link that leads nowhere";
    }
    CloseHandle(target);
    return nullptr;
}

HostFileKind ExamineHostFile(const std::string& path, FileKey& key)
{
    HANDLE file = OpenFollowing(path);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? HostFileKind::missing
                                                                              : HostFileKind::other;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(file);
    key.volume = info.dwVolumeSerialNumber;
    key.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return regular ? HostFileKind::regular : HostFileKind::other;
}

bool HostFileSize(const std::string& path, uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

std::string ResizeHostFile(const std::string& path, uint64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SystemErrorText(GetLastError());
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    bool done = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    return done ? "" : SystemErrorText(error);
}
