// What each platform's command_files tells the output checks they share.
#pragma once
#include <string>

// Whether a and b lead to one file (after symbolic links, or as hard links of
// one file), or to one path where nothing is yet.
bool SameTarget(const std::string& a, const std::string& b);

// Ends the command unless nothing is at path or it leads to a regular file.
void RefuseUnreplaceableOutput(const std::string& path);

// Whether path, resolved, lies at or below folder, resolved.
bool LiesInside(const std::string& path, const std::string& folder);
