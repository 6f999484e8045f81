// Binary listings made in memory for tests: a tree of expected entries
// written depth-first, the way the listing input reads them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ListedEntry {
    std::string name;
    bool folder = false;
    DWORD size = 0;
    DWORD attributes = 0;
    std::vector<ListedEntry> children;  // folders only
};

ListedEntry Folder(const std::string& name, std::vector<ListedEntry> children,
                   DWORD attributes = 0x10);
ListedEntry File(const std::string& name, DWORD size, DWORD attributes = 0x20);

// The listing of a root holding children (folder entries first, in the given order).
std::vector<uint8_t> MakeListing(const std::vector<ListedEntry>& rootChildren);

// A find-data record as the listing stores it.
WIN32_FIND_DATAA MakeRecord(const ListedEntry& entry);

void AppendHeader(std::vector<uint8_t>& out, int32_t index, int32_t folders, int32_t files);
void AppendRecord(std::vector<uint8_t>& out, const WIN32_FIND_DATAA& record);
