#include <windows.h>
#include <port/host.h>
#include "drive_table.h"
#include "kernel_object.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct PortFind : PortKernelObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
    size_t failAt = SIZE_MAX;  // FindNextFileA fails once this many entries were delivered
    DWORD failError = 0;
};

// A folder whose enumeration breaks off, as on a damaged disc.
struct FindFailure {
    std::string folder;
    size_t entries = 0;
    DWORD error = 0;
};

FindFailure& PlannedFailure()
{
    static FindFailure failure;
    return failure;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

char Fold(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// '*' any run, '?' exactly one character, letters without regard to case.
bool MatchMask(const char* mask, const char* name)
{
    while (*mask != '\0') {
        if (*mask == '*') {
            while (*mask == '*') {
                ++mask;
            }
            if (*mask == '\0') {
                return true;
            }
            for (const char* rest = name; *rest != '\0'; ++rest) {
                if (MatchMask(mask, rest)) {
                    return true;
                }
            }
            return false;
        }
        if (*name == '\0' || (*mask != '?' && Fold(*mask) != Fold(*name))) {
            return false;
        }
        ++mask;
        ++name;
    }
    return *name == '\0';
}

bool Matches(const std::string& mask, const char* name)
{
    // The one rule beyond plain wildcards that callers rely on: "*.*" also
    // matches names without a period.
    return mask == "*.*" || MatchMask(mask.c_str(), name);
}

FILETIME ToFileTime(const struct timespec& time)
{
    // 100-nanosecond intervals since 1601-01-01, the Unix epoch being 11644473600 s later.
    uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + 11644473600ull) * 10000000ull +
                     static_cast<uint64_t>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The record Wine reports for a host entry: 0x10 for folders, 0x20 on files,
// 0x01 when no write permission is set, 0x02 for names starting with a period.
bool Describe(int folderFd, const char* name, WIN32_FIND_DATAA& data)
{
    struct stat info {};
    if (fstatat(folderFd, name, &info, 0) != 0 && fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    std::memset(&data, 0, sizeof(data));
    size_t length = std::strlen(name);
    if (length >= MAX_PATH) {
        return false;  // Windows cannot name it either
    }
    std::memcpy(data.cFileName, name, length);
    bool folder = S_ISDIR(info.st_mode);
    data.dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
        data.dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    data.ftCreationTime = ToFileTime(info.st_mtim);
    data.ftLastAccessTime = ToFileTime(info.st_atim);
    data.ftLastWriteTime = ToFileTime(info.st_mtim);
    if (!folder) {
        uint64_t size = static_cast<uint64_t>(info.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    return true;
}

// No entry of a folder has an empty name.
bool IsDotEntry(const std::string& name)
{
    return name[0] == '.' && (name.size() == 1 || (name.size() == 2 && name[1] == '.'));
}

// "." and ".." first, then the names in order, as an NTFS folder lists them.
// A large folder's sort makes hundreds of thousands of these comparisons.
bool NameBefore(const std::string& a, const std::string& b)
{
    bool aDot = IsDotEntry(a);
    bool bDot = IsDotEntry(b);
    if (aDot != bDot) {
        return aDot;
    }
    int order = strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
}

// The records of names, in their order; an entry that vanished meanwhile (or
// whose name Windows could not hold) is left out.
std::vector<WIN32_FIND_DATAA> DescribeAll(int folderFd, const std::vector<std::string>& names)
{
    std::vector<WIN32_FIND_DATAA> records;
    records.reserve(names.size());
    for (const std::string& name : names) {
        WIN32_FIND_DATAA record;
        if (Describe(folderFd, name.c_str(), record)) {
            records.push_back(record);
        }
    }
    return records;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findFileData)
{
    if (fileName == nullptr || findFileData == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    std::string pattern = fileName;
    size_t cut = pattern.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
    std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    if (cut == std::string::npos && pattern.size() >= 2 && pattern[1] == ':') {
        folder = pattern.substr(0, 2);
        mask = pattern.substr(2);
    }
    if (mask.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // "X:\" alone: Windows lists no "." and ".." at the root of a drive.
    bool driveRoot = folder.size() == 3 && folder[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(folder[0])) && IsSeparator(folder[2]);
    PortHostLocation location = folder.empty() ? PortHostLocation{AT_FDCWD, "."} : PortHostAt(folder.c_str());
    if (location.path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int folderFd = openat(location.base, location.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = folderFd >= 0 ? fdopendir(folderFd) : nullptr;
    if (dir == nullptr) {
        if (folderFd >= 0) {
            close(folderFd);
        }
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // Closed on every way out, also when an allocation below throws.
    std::unique_ptr<DIR, int (*)(DIR*)> openDir(dir, closedir);
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(dir)) {
        bool dot = std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0;
        if ((dot && driveRoot) || !Matches(mask, entry->d_name)) {
            continue;
        }
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end(), NameBefore);
    std::unique_ptr<PortFind> find(new PortFind());
    find->entries = DescribeAll(folderFd, names);
    openDir.reset();
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!PlannedFailure().folder.empty() && PlannedFailure().folder == folder) {
        find->failAt = PlannedFailure().entries;
        find->failError = PlannedFailure().error;
    }
    *findFileData = find->entries[0];
    find->next = 1;
    return static_cast<PortKernelObject*>(find.release());
}

BOOL WINAPI FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findFileData)
{
    PortFind* find = PortObjectOf<PortFind>(findFile);
    if (find == nullptr || findFileData == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (find->next >= find->failAt) {
        SetLastError(find->failError);
        return FALSE;
    }
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findFileData = find->entries[find->next++];
    return TRUE;
}

void PortSetFindFailure(const std::string& windowsFolder, size_t entries, DWORD error)
{
    PlannedFailure() = FindFailure{windowsFolder, entries, error};
}

BOOL WINAPI FindClose(HANDLE findFile)
{
    PortFind* find = PortObjectOf<PortFind>(findFile);
    if (find == nullptr) {
        return FALSE;
    }
    delete find;
    return TRUE;
}

LONG WINAPI CompareFileTime(const FILETIME* fileTime1, const FILETIME* fileTime2)
{
    uint64_t a = (static_cast<uint64_t>(fileTime1->dwHighDateTime) << 32) | fileTime1->dwLowDateTime;
    uint64_t b = (static_cast<uint64_t>(fileTime2->dwHighDateTime) << 32) | fileTime2->dwLowDateTime;
    return a < b ? -1 : (a > b ? 1 : 0);
}
