#include "launcher/profile_text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

std::string ReadProfileText(const std::string& fileName, const char* section, const char* key,
                            unsigned capacity)
{
    std::vector<char> value(capacity, '\0');
    GetPrivateProfileStringA(section, key, "", value.data(), capacity, fileName.c_str());
    return std::string(value.begin(), std::find(value.begin(), value.end(), '\0'));
}
