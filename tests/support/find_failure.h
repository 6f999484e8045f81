// Makes the enumeration of one folder break off with an error after some
// entries, as a read error on a damaged disc does: natively through the port,
// under Wine by standing in for the program's imports of FindFirstFileA and
// FindNextFileA, so that the real last-error rules still apply.
#pragma once
#include <windows.h>

#include <string>

class CFindFailure {
public:
    // folder as the search pattern names it, ending in a separator.
    CFindFailure(const std::string& folder, size_t entries, DWORD error);
    ~CFindFailure();
    CFindFailure(const CFindFailure&) = delete;
    CFindFailure& operator=(const CFindFailure&) = delete;
};
