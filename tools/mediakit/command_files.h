// The files named on mediakit's command line: inputs read whole, outputs
// written whole or not at all. Every failure ends the command with exit code
// 2 and a one-line reason; nothing hangs on a FIFO or device, and nothing
// that is not a regular file is ever replaced.
#pragma once
#include <string>

// The content of the regular file at path (symbolic links followed). what
// names it in messages ("listing", "manifest").
std::string ReadInputFile(const std::string& path, const std::string& what);

// Writes content to path. A regular file, or none yet, is written beside the
// target and renamed over it, keeping the old one's permissions, so that a
// failed write never leaves half a file; a symbolic link is followed to what
// it names; a device or FIFO is written straight, since it cannot be
// replaced (a FIFO nobody reads is an error, not a wait); a folder is refused.
void WriteOutputFile(const std::string& path, const std::string& content, const std::string& what);
