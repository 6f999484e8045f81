#include <windows.h>
#include <port/host.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string& ModuleFileName()
{
    static std::string name;
    return name;
}

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

std::map<std::string, std::string, NoCase>& ShortNames()
{
    static std::map<std::string, std::string, NoCase> names;
    return names;
}

std::string& CurrentDirectory()
{
    static std::string directory;
    return directory;
}

std::string HostProgramPath()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

bool Exists(LPCSTR windowsPath)
{
    std::string hostPath = PortHostPath(windowsPath);
    struct stat info {};
    return !hostPath.empty() && stat(hostPath.c_str(), &info) == 0;
}

// The rule of most path getters: the length when the text fits with its
// terminator, else the size needed (terminator included) and nothing written.
DWORD CopyPath(const std::string& path, LPSTR buffer, DWORD size)
{
    if (buffer == nullptr || path.size() + 1 > size) {
        return static_cast<DWORD>(path.size() + 1);
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

}  // namespace

void PortSetModuleFileName(const std::string& windowsPath)
{
    ModuleFileName() = windowsPath;
}

void PortSetShortPathName(const std::string& longPath, const std::string& shortPath)
{
    ShortNames()[longPath] = shortPath;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size)
{
    if (module != nullptr && module != GetModuleHandleA(nullptr)) {
        return 0;  // only the program image is a loaded module here
    }
    std::string path = ModuleFileName().empty() ? HostProgramPath() : ModuleFileName();
    if (fileName == nullptr || size == 0) {
        return 0;
    }
    // Too small: the size itself comes back and the text is cut to it. Windows
    // before Vista (and Wine) leave such a buffer without a terminator.
    if (path.size() >= size) {
        path.copy(fileName, size);
        return size;
    }
    path.copy(fileName, path.size());
    fileName[path.size()] = '\0';
    return static_cast<DWORD>(path.size());
}

DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (longPath == nullptr || !Exists(longPath)) {
        return 0;
    }
    auto alias = ShortNames().find(longPath);
    return CopyPath(alias != ShortNames().end() ? alias->second : std::string(longPath), shortPath, size);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR pathName)
{
    std::string hostPath = PortHostPath(pathName);
    if (hostPath.empty() || chdir(hostPath.c_str()) != 0) {
        return FALSE;
    }
    // Kept as the caller named it, without a trailing separator except at a root.
    std::string name = pathName;
    while (name.size() > 1 && (name.back() == '\\' || name.back() == '/') &&
           !(name.size() == 3 && name[1] == ':')) {
        name.pop_back();
    }
    CurrentDirectory() = name;
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    std::string directory = CurrentDirectory();
    if (directory.empty()) {
        char host[PATH_MAX];
        if (getcwd(host, sizeof(host)) == nullptr) {
            return 0;
        }
        directory = host;
    }
    return CopyPath(directory, buffer, size);
}

// The folders of Wine's default prefix.
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    return CopyPath("C:\\windows", buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    return CopyPath("C:\\windows\\system32", buffer, size);
}
