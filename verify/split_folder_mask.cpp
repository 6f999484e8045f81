#include "split_folder_mask.h"

#include "base/bounded_text.h"

#include <windows.h>
#include <stdlib.h>

#include <cstring>

void SplitFolderMask(const char* path, char* folder, char* fmask)
{
    // Each part of a path shorter than MAX_PATH fits a MAX_PATH buffer, so the
    // runtime's unbounded split cannot overrun them.
    if (path == nullptr || path[0] == '\0' || strnlen(path, MAX_PATH) >= MAX_PATH) {
        return;
    }
    char drive[MAX_PATH];
    char dir[MAX_PATH];
    char baseName[MAX_PATH];
    char extension[MAX_PATH];
    _splitpath(path, drive, dir, baseName, extension);

    CopyBounded(folder, MAX_PATH, drive);
    AppendBounded(folder, MAX_PATH, dir);
    if (extension[0] == '\0') {
        AppendBounded(folder, MAX_PATH, baseName);
    } else {
        CopyBounded(fmask, MAX_PATH, baseName);
        AppendBounded(fmask, MAX_PATH, extension);
    }
    size_t length = std::strlen(folder);
    if (length != 0 && folder[length - 1] != '\\') {
        AppendBounded(folder, MAX_PATH, "\\");
    }
}
