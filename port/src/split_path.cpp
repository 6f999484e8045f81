#include <windows.h>

#include <cstring>

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext)
{
    if (path[0] != '\0' && path[1] == ':') {
        if (drive != nullptr) {
            drive[0] = path[0];
            drive[1] = ':';
            drive[2] = '\0';
        }
        path += 2;
    } else if (drive != nullptr) {
        drive[0] = '\0';
    }
    const char* end = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') {
            end = p + 1;
        }
    }
    if (end != nullptr) {
        if (dir != nullptr) {
            std::memcpy(dir, path, static_cast<size_t>(end - path));
            dir[end - path] = '\0';
        }
        path = end;
    } else if (dir != nullptr) {
        dir[0] = '\0';
    }
    // The extension starts at the last period of the base name.
    const char* period = std::strrchr(path, '.');
    if (period == nullptr) {
        period = path + std::strlen(path);
    }
    if (fname != nullptr) {
        std::memcpy(fname, path, static_cast<size_t>(period - path));
        fname[period - path] = '\0';
    }
    if (ext != nullptr) {
        std::strcpy(ext, period);
    }
}
