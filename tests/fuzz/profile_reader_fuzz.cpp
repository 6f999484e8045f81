// Arbitrary bytes as a profile (INI) file through GetPrivateProfileStringA and
// GetPrivateProfileIntA: every value comes back terminated inside the buffer
// with its length as the result, never more than capacity - 1 characters; a
// smaller buffer gets a prefix of what a large one gets, whole when it has
// room; the default stands in exactly when the key gives no value; and a
// value of decimal digits reads as its number.
#include "tests/fuzz/fuzz_support.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// One file for the whole run, written anew for each input and removed when
// the run ends.
class CProfileFile {
public:
    CProfileFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "profile_reader_fuzz.XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = mkstemp(name.data());
        Require(fd >= 0);
        close(fd);
        path = name.data();
    }
    ~CProfileFile() { std::remove(path.c_str()); }

    std::string path;
};

const std::string& ProfilePath()
{
    static CProfileFile file;
    return file.path;
}

std::string Read(const std::string& section, const std::string& key, const char* defaultValue,
                 DWORD capacity)
{
    // Exactly the capacity, so that the sanitizer sees a write past it.
    std::vector<char> buffer(capacity, '#');
    DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, buffer.data(),
                                            capacity, ProfilePath().c_str());
    Require(length < capacity);
    Require(buffer[length] == '\0');
    Require(std::strlen(buffer.data()) == length);
    return std::string(buffer.data(), length);
}

// What the start of the input names: section and key up to zero bytes.
std::string TakeName(const uint8_t*& data, size_t& size, const char* fallback)
{
    const void* end = std::memchr(data, 0, size);
    if (end == nullptr) {
        return fallback;
    }
    size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - data);
    std::string name(reinterpret_cast<const char*>(data), length);
    data += length + 1;
    size -= length + 1;
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    DWORD capacity = data[0] + 1u;
    ++data;
    --size;
    std::string section = TakeName(data, size, "Info");
    std::string key = TakeName(data, size, "Product");
    FILE* file = std::fopen(ProfilePath().c_str(), "wb");
    Require(file != nullptr);
    Require(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    std::string whole = Read(section, key, "", static_cast<DWORD>(size) + 2);
    std::string cut = Read(section, key, "", capacity);
    Require(whole.compare(0, cut.size(), cut) == 0);
    if (whole.size() + 2 <= capacity) {
        Require(cut == whole);  // room for the value, a closing quote and the terminator
    } else {
        Require(cut.size() + 1 >= std::min<size_t>(whole.size(), capacity - 1));
    }

    const std::string fallback = "\x01" "fallback";
    std::string withDefault = Read(section, key, fallback.c_str(), capacity);
    Require(withDefault == cut ||
            (cut.empty() && withDefault == fallback.substr(0, std::min<size_t>(fallback.size(), capacity - 1))));

    const INT defaultNumber = 0x5EED;
    UINT number = GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultNumber, ProfilePath().c_str());
    if (whole.empty()) {
        Require(number == static_cast<UINT>(defaultNumber));
    } else if (whole.size() <= 9 && std::all_of(whole.begin(), whole.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        Require(number == static_cast<UINT>(std::stoul(whole)));
    } else if (std::isalpha(static_cast<unsigned char>(whole[0]))) {
        Require(number == 0);  // text without digits reads as 0, not as the default
    }
    return 0;
}
