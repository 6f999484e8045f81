// Writes a file whole or not at all.
#pragma once
#include <string>

// Written beside the target and renamed over it, so that a failed write never
// leaves a half-written file in place of a good one. False on any failure.
bool WriteWholeFile(const std::string& path, const std::string& content);
