#include "launcher/path_parts.h"

#include <windows.h>

namespace {

size_t NextCharacter(const std::string& text, size_t pos)
{
    if (IsDBCSLeadByte(static_cast<BYTE>(text[pos])) && pos + 1 < text.size()) {
        return pos + 2;
    }
    return pos + 1;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Position of the last character, or npos for empty text.
size_t LastCharacter(const std::string& text)
{
    size_t last = std::string::npos;
    for (size_t pos = 0; pos < text.size(); pos = NextCharacter(text, pos)) {
        last = pos;
    }
    return last;
}

}  // namespace

PathParts SplitPath(const std::string& path)
{
    PathParts parts;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' && !IsDBCSLeadByte(static_cast<BYTE>(path[0]))) {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    size_t directoryEnd = start;  // one past the last separator
    size_t lastDot = std::string::npos;
    for (size_t pos = start; pos < path.size(); pos = NextCharacter(path, pos)) {
        if (IsSeparator(path[pos])) {
            directoryEnd = pos + 1;
            lastDot = std::string::npos;
        } else if (path[pos] == '.') {
            lastDot = pos;
        }
    }
    parts.directory = path.substr(start, directoryEnd - start);
    size_t nameEnd = lastDot != std::string::npos ? lastDot : path.size();
    parts.baseName = path.substr(directoryEnd, nameEnd - directoryEnd);
    if (lastDot != std::string::npos) {
        parts.extension = path.substr(lastDot);
    }
    return parts;
}

std::string JoinPath(const std::string& drive, const std::string& directory,
                     const std::string& baseName, const std::string& extension)
{
    std::string path;
    if (!drive.empty()) {
        path += drive[0];
        path += ':';
    }
    if (!directory.empty()) {
        path += directory;
        if (!IsSeparator(directory[LastCharacter(directory)])) {
            path += '\\';
        }
    }
    path += baseName;
    if (!extension.empty()) {
        if (extension[0] != '.') {
            path += '.';
        }
        path += extension;
    }
    return path;
}
