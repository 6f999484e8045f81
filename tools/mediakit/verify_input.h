// What mediakit verify compares a tree with: a listing or a manifest, by the
// name its messages give it, and its bytes as often as they are asked for (a
// file is read each time, so that a large one is never held twice).
#pragma once
#include <functional>
#include <string>

struct VerifyInput {
    std::string name;
    std::function<std::string()> read;

    bool IsGiven() const { return static_cast<bool>(read); }
};

// The listing or manifest file at path; what is "listing" or "manifest".
VerifyInput InputFile(const std::string& path, const std::string& what);
