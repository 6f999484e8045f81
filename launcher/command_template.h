// The settings' command template: text with bracketed placeholders such as
// [%PACKAGE%], expanded into the installer's command line.
#pragma once
#include <string>

struct PlaceholderValues {
    std::string sourceDirectory;   // %SRCDIR%
    std::string windowsDirectory;  // %WINDIR%
    std::string systemDirectory;   // %WINSYSDIR%
    std::string package;           // %PACKAGE%
    std::string transform;         // %TRANSFORM%
};

// Each "[" and the first "]" after it form a pair whose token selects the
// first placeholder name it begins (case-sensitive; an empty token selects
// %SRCDIR%); the pair is replaced by that value, or dropped when the token
// selects nothing. Inserted values are never scanned again.
std::string ExpandCommandTemplate(const std::string& commandTemplate, const PlaceholderValues& values);
