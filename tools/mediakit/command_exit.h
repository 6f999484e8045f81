// How a mediakit command ends: the exit code tells the truth, a message says why.
#pragma once
#include <string>

enum ExitCode {
    exitOk = 0,
    exitDifferent = 1,  // the compared data differ
    exitError = 2,      // bad usage, unreadable or unwritable input or output
};

// Prints "mediakit: message" on standard error (when message is not empty)
// and ends the command with exitCode.
[[noreturn]] void EndCommand(int exitCode, const std::string& message);
