#include "launcher/locate_settings.h"
#include "launcher/path_parts.h"

namespace {

std::string ProgramPath(HINSTANCE instance)
{
    char path[MAX_PATH] = {};
    // A path that fills the buffer comes back without a terminator on older
    // Windows versions; the last character makes room for one.
    GetModuleFileNameA(instance, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';
    return path;
}

// The short form of a path, or the path itself when the platform gives none
// (the call fails, or the short form would not fit the path area).
std::string ShortFormOf(const std::string& path)
{
    char shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return path;
    }
    return shortPath;
}

}  // namespace

SettingsLocation LocateSettings(HINSTANCE instance)
{
    PathParts parts = SplitPath(ShortFormOf(ProgramPath(instance)));
    SettingsLocation location;
    location.settingsPath = JoinPath(parts.drive, parts.directory, parts.baseName, ".ini");
    location.launcherDirectory = JoinPath(parts.drive, parts.directory, "", "");
    return location;
}

std::string LocateSourceDirectory(HINSTANCE instance)
{
    PathParts parts = SplitPath(ProgramPath(instance));
    return ShortFormOf(JoinPath(parts.drive, parts.directory, "", ""));
}
