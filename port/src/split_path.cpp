#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace {

void ClearAll(char* drive, char* dir, char* fname, char* ext)
{
    for (char* part : {drive, dir, fname, ext}) {
        if (part != nullptr) {
            part[0] = '\0';
        }
    }
}

// Copies count characters and a terminator when they fit capacity.
bool CopyPart(char* part, size_t capacity, const char* from, size_t count)
{
    if (part == nullptr) {
        return true;
    }
    if (count >= capacity) {
        return false;
    }
    std::memcpy(part, from, count);
    part[count] = '\0';
    return true;
}

}  // namespace

// As the Windows C runtime does it: a part longer than its _MAX_ size leaves
// every part empty rather than overrunning the caller's buffer.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext)
{
    const char* rest = path;
    size_t driveLength = 0;
    if (rest[0] != '\0' && rest[1] == ':') {
        driveLength = 2;
        rest += 2;
    }
    const char* nameStart = rest;
    for (const char* p = rest; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') {
            nameStart = p + 1;
        }
    }
    // The extension starts at the last period of the base name.
    const char* period = std::strrchr(nameStart, '.');
    if (period == nullptr) {
        period = nameStart + std::strlen(nameStart);
    }
    if (!CopyPart(drive, _MAX_DRIVE, path, driveLength) ||
        !CopyPart(dir, _MAX_DIR, rest, static_cast<size_t>(nameStart - rest)) ||
        !CopyPart(fname, _MAX_FNAME, nameStart, static_cast<size_t>(period - nameStart)) ||
        !CopyPart(ext, _MAX_EXT, period, std::strlen(period))) {
        ClearAll(drive, dir, fname, ext);
    }
}
