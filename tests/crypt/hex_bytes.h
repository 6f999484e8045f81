// Hex text to bytes and back, for known-answer tables.
#pragma once
#include <string>
#include <vector>

inline std::vector<unsigned char> HexBytes(const std::string& hex)
{
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline std::string HexText(const unsigned char* bytes, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

inline std::string HexText(const std::vector<unsigned char>& bytes)
{
    return HexText(bytes.data(), bytes.size());
}
