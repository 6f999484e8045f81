// Every file of a disc tree as the content check's walker finds it: the path
// it looks the file up by ("\Help\index.htm") and the size.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TreeFile {
    std::string relativePath;  // backslash-led, as the walker builds it (host UTF-8)
    std::string fullPath;      // as the system names the file ("X:\Help\index.htm")
    uint64_t size = 0;
};

// root is the folder as the platform names it ("X:\"). Throws
// std::runtime_error naming the first folder that cannot be read or path that
// is too long for the check.
std::vector<TreeFile> CollectTreeFiles(const std::string& root);
