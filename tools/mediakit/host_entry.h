// What the host says about the entries and files mediakit is given, where
// POSIX and Windows answer differently: an entry that is neither a regular
// file nor a folder (a disc cannot carry it, and mediakit never reads it),
// and which file a path leads to.
#pragma once
#include <cstdint>
#include <string>

#ifndef _WIN32
#include <sys/types.h>

// "a FIFO", "a character device", "a block device", "a socket", "a symbolic
// link" (one that leads nowhere), or null for a regular file or a folder.
const char* NonRegularKind(mode_t mode);
#else
// The system's one-line text for a Win32 error code.
std::string SystemErrorText(unsigned long error);
#endif

// The same for a path as the system's code names it ("X:\Help\a.txt"),
// following symbolic links; null also when the path cannot be examined.
const char* NonRegularKindOf(const std::string& windowsPath);

// Which file a path leads to after links: two names of one file (a link, a
// hard link) have the same key.
struct FileKey {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator<(const FileKey& other) const
    {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
};

enum class HostFileKind { missing, regular, other };

// What path (as given on the command line) leads to; for a regular file
// also its key.
HostFileKind ExamineHostFile(const std::string& path, FileKey& key);

// The size of the regular file at path; false when it cannot be read.
bool HostFileSize(const std::string& path, uint64_t& size);

// Cuts or lengthens the file at path to size bytes: empty when done, else why not.
std::string ResizeHostFile(const std::string& path, uint64_t size);
