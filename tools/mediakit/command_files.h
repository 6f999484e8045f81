// The files named on mediakit's command line: inputs read whole, outputs
// written whole or not at all. Every failure ends the command with exit code
// 2 and a one-line reason; nothing hangs on a FIFO or device, and nothing
// that is not a regular file is ever replaced.
#pragma once
#include <string>
#include <vector>

// A path as the user gave it, with the option that named it ("-o").
struct NamedPath {
    std::string option;
    std::string path;
};

// The content of the regular file at path (symbolic links followed). what
// names it in messages ("listing", "manifest").
std::string ReadInputFile(const std::string& path, const std::string& what);

// Ends the command as ReadInputFile would unless path is a regular file that
// can be opened, for inputs that a library reads itself.
void CheckInputFile(const std::string& path, const std::string& what);

// Writes content to path: beside the target, renamed over it when complete
// and keeping the old one's permissions, so that a failed write never leaves
// half a file. A symbolic link is followed to what it names. Only a regular
// file, or nothing, is replaced: a folder, device, FIFO or socket is refused.
void WriteOutputFile(const std::string& path, const std::string& content, const std::string& what);

// Refuses, before anything is written, two outputs that are one file (after
// symbolic links, or as hard links of one file) and an output that lies
// inside one of the input folders (which it would change).
void CheckOutputTargets(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputFolders);
