// The Windows side of command_files.h, on the Win32 file functions: a name
// Windows gives a device (NUL, CON, a pipe) is not a disk file and is refused
// like a POSIX device.
#include "command_files.h"
#include "command_targets.h"

#include "command_exit.h"
#include "host_entry.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    EndCommand(exitError, path + ": " + reason);
}

bool IsNotFound(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

class CHandle {
public:
    explicit CHandle(HANDLE opened) : handle(opened) {}
    ~CHandle()
    {
        if (IsOpen()) {
            CloseHandle(handle);
        }
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

HANDLE OpenExisting(const std::string& path, DWORD access)
{
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// "\\?\C:\x" as GetFinalPathNameByHandle spells it, back to "C:\x".
std::string WithoutLongPrefix(const std::string& path)
{
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
        return "\\\\" + path.substr(8);
    }
    return path.rfind("\\\\?\\", 0) == 0 ? path.substr(4) : path;
}

std::string FullPath(const std::string& path)
{
    DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::string full(size, '\0');
    DWORD got = GetFullPathNameA(path.c_str(), size, &full[0], nullptr);
    full.resize(got < size ? got : 0);
    return full.empty() ? path : full;
}

// The path with links resolved as far as it exists, from the root down.
std::string ResolvedPath(const std::string& path)
{
    std::string full = FullPath(path);
    while (full.size() > 3 && (full.back() == '\\' || full.back() == '/')) {
        full.pop_back();
    }
    CHandle file(OpenExisting(full, 0));
    if (file.IsOpen()) {
        char resolved[32768];
        DWORD got = GetFinalPathNameByHandleA(file.Get(), resolved, sizeof(resolved), FILE_NAME_NORMALIZED);
        if (got != 0 && got < sizeof(resolved)) {
            return WithoutLongPrefix(resolved);
        }
        return full;
    }
    size_t cut = full.find_last_of("\\/");
    if (cut == std::string::npos || cut + 1 >= full.size() || cut < 2) {
        return full;
    }
    std::string parent = ResolvedPath(full.substr(0, cut + 1));
    return parent + (parent.back() == '\\' ? "" : "\\") + full.substr(cut + 1);
}

bool SamePath(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Whether path lies at or below folder, both resolved; Windows names ignore case.
bool Contains(const std::string& folder, const std::string& path)
{
    std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
    return SamePath(folder, path) ||
           (path.size() > prefix.size() && _strnicmp(prefix.c_str(), path.c_str(), prefix.size()) == 0);
}

// What an existing path is: a folder, a disk file, or something else (a device).
enum class EntryKind { missing, folder, file, other };

EntryKind KindOf(const std::string& path, DWORD* error = nullptr)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD why = GetLastError();
        if (error != nullptr) {
            *error = why;
        }
        return IsNotFound(why) ? EntryKind::missing : EntryKind::other;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryKind::folder;
    }
    CHandle file(OpenExisting(path, 0));
    return file.IsOpen() && GetFileType(file.Get()) == FILE_TYPE_DISK ? EntryKind::file : EntryKind::other;
}

void RefuseUnreplaceable(const std::string& path, EntryKind kind, const std::string& what)
{
    if (kind == EntryKind::folder) {
        Fail(path, "a folder; give a file name to write the " + what + " to");
    }
    if (kind == EntryKind::other) {
        Fail(path, "not a regular file; only a regular file is replaced");
    }
}

bool WriteAll(HANDLE file, const std::string& content)
{
    size_t done = 0;
    while (done < content.size()) {
        DWORD chunk = static_cast<DWORD>(content.size() - done < (1u << 30) ? content.size() - done : (1u << 30));
        DWORD put = 0;
        if (!WriteFile(file, content.data() + done, chunk, &put, nullptr) || put == 0) {
            return false;
        }
        done += put;
    }
    return true;
}

// Written beside the target under a name of its own, then moved over it, so
// that a failed write never leaves half a file.
void WriteReplacing(const std::string& target, const std::string& content, const std::string& shown,
                    const std::string& what, DWORD oldAttributes)
{
    size_t cut = target.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? "" : target.substr(0, cut + 1);
    std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
    std::string temporary;
    HANDLE opened = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; opened == INVALID_HANDLE_VALUE && error == ERROR_FILE_EXISTS && attempt < 100;
         ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        opened = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
    }
    if (opened == INVALID_HANDLE_VALUE) {
        Fail(shown, "cannot write the " + what + ": " + SystemErrorText(error));
    }
    bool written = WriteAll(opened, content);
    error = GetLastError();
    if (!CloseHandle(opened) && written) {
        written = false;
        error = GetLastError();
    }
    // A read-only file is replaced as a POSIX rename replaces it, and the
    // new one keeps the old one's attributes.
    bool readOnly = oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (written && readOnly) {
        SetFileAttributesA(target.c_str(), oldAttributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (written && !MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        written = false;
        error = GetLastError();
        if (readOnly) {
            SetFileAttributesA(target.c_str(), oldAttributes);
        }
    }
    if (!written) {
        DeleteFileA(temporary.c_str());
        Fail(shown, "cannot write the " + what + ": " + SystemErrorText(error));
    }
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesA(target.c_str(), oldAttributes);
    }
}

// An open handle of the regular file at path; ends the command for anything else.
HANDLE OpenInputFile(const std::string& path, const std::string& what)
{
    DWORD error = 0;
    EntryKind kind = KindOf(path, &error);
    if (kind == EntryKind::missing) {
        Fail(path, "no such " + what + " file");
    }
    if (kind == EntryKind::folder) {
        Fail(path, "a folder, not a " + what + " file; it is not read");
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        Fail(path, IsNotFound(error) ? "no such " + what + " file"
                                     : "cannot open the " + what + ": " + SystemErrorText(error));
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        Fail(path, "not a regular file, not a " + what + " file; it is not read");
    }
    return file;
}

// Which file a path leads to, if any.
struct Identity {
    std::string resolved;
    bool exists = false;
    FileKey key;

    bool SameFile(const Identity& other) const
    {
        return (exists && other.exists) ? !(key < other.key) && !(other.key < key)
                                        : SamePath(resolved, other.resolved);
    }
};

Identity IdentityOf(const std::string& path)
{
    Identity identity;
    identity.resolved = ResolvedPath(path);
    identity.exists = ExamineHostFile(path, identity.key) == HostFileKind::regular;
    return identity;
}

}  // namespace

void CheckInputFile(const std::string& path, const std::string& what)
{
    CloseHandle(OpenInputFile(path, what));
}

std::string ReadInputFile(const std::string& path, const std::string& what)
{
    CHandle file(OpenInputFile(path, what));
    std::string content;
    char chunk[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr)) {
            Fail(path, "cannot read the " + what + ": " + SystemErrorText(GetLastError()));
        }
        if (got == 0) {
            return content;
        }
        content.append(chunk, got);
    }
}

void WriteOutputFile(const std::string& path, const std::string& content, const std::string& what)
{
    EntryKind kind = KindOf(path);
    if (kind == EntryKind::missing) {
        WriteReplacing(path, content, path, what, INVALID_FILE_ATTRIBUTES);
        return;
    }
    RefuseUnreplaceable(path, kind, what);
    // A link is followed to what it names, which is replaced.
    std::string target = ResolvedPath(path);
    WriteReplacing(target, content, path, what, GetFileAttributesA(target.c_str()));
}

bool SameTarget(const std::string& a, const std::string& b)
{
    return IdentityOf(a).SameFile(IdentityOf(b));
}

void RefuseUnreplaceableOutput(const std::string& path)
{
    EntryKind kind = KindOf(path);
    if (kind != EntryKind::missing) {
        RefuseUnreplaceable(path, kind, "output");
    }
}

bool LiesInside(const std::string& path, const std::string& folder)
{
    return Contains(ResolvedPath(folder), ResolvedPath(path));
}
