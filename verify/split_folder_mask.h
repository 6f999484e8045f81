// Turns an installer source path into the folder to walk (ending with a
// backslash) and the file mask: a last component with a period is a mask,
// one without names the last folder.
#pragma once

// folder and fmask are buffers of MAX_PATH characters. An empty path, or one
// of MAX_PATH characters or more, leaves both as they are. A path with neither
// drive nor directory leaves folder empty rather than naming the current drive's root.
void SplitFolderMask(const char* path, char* folder, char* fmask);
