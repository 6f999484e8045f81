// Paths taken apart and joined the way the launcher names its files. Both
// step over double-byte characters of the active code page, so a trail byte
// (0x5C in Shift-JIS) never acts as a separator.
#pragma once
#include <string>

struct PathParts {
    std::string drive;      // "C:" or empty
    std::string directory;  // up to and including the last "\" or "/"
    std::string baseName;
    std::string extension;  // from the last "." after the directory, or empty
};

PathParts SplitPath(const std::string& path);

// Drive letter and ":", the directory with a "\" added unless it ends in one,
// the base name, and the extension with a "." in front unless it has one.
std::string JoinPath(const std::string& drive, const std::string& directory,
                     const std::string& baseName, const std::string& extension);
