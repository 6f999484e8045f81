// Profile reading with the rules Windows applies: the file is parsed line by
// line on every call, the first section whose name matches is the only one
// searched, and the first matching key in it wins.
#include <windows.h>
#include <port/host.h>
#include "probe_record.h"

#include <fstream>
#include <sstream>
#include <string>
#include <strings.h>

namespace {

// Control-Z is blank too: old editors ended text files with it.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string Trim(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool ReadWholeFile(LPCSTR fileName, std::string& content)
{
    std::string hostPath = PortHostPath(fileName);
    if (hostPath.empty()) {
        return false;
    }
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    content = text.str();
    // A UTF-8 byte-order mark is not part of the first line.
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        content.erase(0, 3);
    }
    return true;
}

enum class KeyLookup { noKey, keyWithoutValue, keyWithValue };

// Looks up section/key; a key line without "=" counts as a key without value.
KeyLookup FindValue(const std::string& content, const std::string& section, const std::string& key,
                    std::string& value)
{
    bool inSection = false;
    bool sectionSeen = false;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = Trim(content.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) {
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close != std::string::npos && close > 0) {
                if (sectionSeen) {
                    return KeyLookup::noKey;  // only the first matching section is searched
                }
                // The name runs to the last "]", without blanks at either end.
                inSection = SameName(Trim(line.substr(1, close - 1)), section);
                sectionSeen = inSection;
                continue;
            }
        }
        if (!inSection) {
            continue;
        }
        size_t equals = line.find('=');
        std::string name = Trim(line.substr(0, equals));
        if (SameName(name, key)) {
            if (equals == std::string::npos) {
                return KeyLookup::keyWithoutValue;
            }
            value = Trim(line.substr(equals + 1));
            return KeyLookup::keyWithValue;
        }
    }
    return KeyLookup::noKey;
}

// Copies a value cut to the buffer, dropping one pair of enclosing quotes.
// A buffer with room for the value and its closing quote but not for the
// terminator loses the value's last character, as the platform's service does.
DWORD CopyValue(const std::string& value, LPSTR buffer, DWORD size, bool stripQuotes)
{
    // Values are handed over as terminated text: a zero byte in the file ends
    // the value, and the result counts only what comes before it.
    std::string text = value.substr(0, value.find('\0'));
    bool quoted = false;
    if (stripQuotes && text.size() >= 2 && (text[0] == '"' || text[0] == '\'') &&
        text.back() == text[0]) {
        text.erase(0, 1);
        quoted = true;
    }
    size_t kept = text.size() < size ? text.size() : size - 1;
    if (quoted && size >= text.size() && kept > 0) {
        --kept;
    }
    text.copy(buffer, kept);
    buffer[kept] = '\0';
    return static_cast<DWORD>(kept);
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue,
                                      LPSTR returnedString, DWORD size, LPCSTR fileName)
{
    // Listing sections or keys (a null section or key) is not used by this system.
    if (returnedString == nullptr || size == 0 || appName == nullptr || keyName == nullptr) {
        return 0;
    }
    // The default loses its trailing spaces (only spaces, not other blanks).
    std::string fallback = defaultValue != nullptr ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.pop_back();
    }
    PortNoteProbe("GetPrivateProfileStringA", fileName);
    std::string content;
    if (!ReadWholeFile(fileName, content)) {
        // A missing file gives the default exactly as it stands.
        return CopyValue(fallback, returnedString, size, false);
    }
    std::string value;
    KeyLookup found = FindValue(content, Trim(appName), Trim(keyName), value);
    return CopyValue(found == KeyLookup::keyWithValue ? value : fallback, returnedString, size, true);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName)
{
    char text[30];
    if (GetPrivateProfileStringA(appName, keyName, "", text, sizeof(text), fileName) == 0) {
        return static_cast<UINT>(defaultValue);
    }
    // Leading blanks, a sign, an optional 0x/0o/0b base prefix, then digits up
    // to the first character that is not one; no digits at all read as 0.
    const char* p = text;
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') {
        ++p;
    }
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
    } else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O')) {
        base = 8;
    } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
        base = 2;
    }
    if (base != 10) {
        p += 2;
    }
    UINT result = 0;
    for (;; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9') {
            digit = static_cast<unsigned>(*p - '0');
        } else if (*p >= 'a' && *p <= 'f') {
            digit = static_cast<unsigned>(*p - 'a' + 10);
        } else if (*p >= 'A' && *p <= 'F') {
            digit = static_cast<unsigned>(*p - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) {
            break;
        }
        result = result * base + digit;
    }
    return negative ? 0u - result : result;
}
