// What an entry of a host folder is when it is neither a regular file nor a
// folder: a disc cannot carry it, and mediakit never reads it.
#pragma once
#include <string>
#include <sys/types.h>

// "a FIFO", "a character device", "a block device", "a socket", "a symbolic
// link" (one that leads nowhere), or null for a regular file or a folder.
const char* NonRegularKind(mode_t mode);

// The same for a path as the system's code names it ("X:\Help\a.txt"),
// following symbolic links; null also when the path cannot be examined.
const char* NonRegularKindOf(const std::string& windowsPath);
