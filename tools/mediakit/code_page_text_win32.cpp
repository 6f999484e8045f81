#include "code_page_text.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace {

// The code pages whose conversions take no flags at all (the ISO-2022 and
// ISCII families, UTF-7); for the others Windows refuses what is no text.
bool TakesNoFlags(UINT page)
{
    return (page >= 50220 && page <= 50229) || page == 52936 || (page >= 57002 && page <= 57011) ||
           page == 65000 || page == 42;
}

bool ToWide(UINT page, const std::string& in, std::wstring& wide)
{
    DWORD flags = TakesNoFlags(page) ? 0 : MB_ERR_INVALID_CHARS;
    int size = static_cast<int>(in.size());
    int count = MultiByteToWideChar(page, flags, in.data(), size, nullptr, 0);
    if (count <= 0) {
        return false;
    }
    wide.assign(static_cast<size_t>(count), L'\0');
    return MultiByteToWideChar(page, flags, in.data(), size, &wide[0], count) == count;
}

// False when a character has no form of its own in the code page: Windows
// would otherwise put a look-alike or '?' in its place.
bool FromWide(UINT page, const std::wstring& wide, std::string& out)
{
    bool utf = page == CP_UTF8 || page == 54936;
    DWORD flags = utf ? WC_ERR_INVALID_CHARS : TakesNoFlags(page) ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = utf || TakesNoFlags(page) ? nullptr : &defaulted;
    int size = static_cast<int>(wide.size());
    int count = WideCharToMultiByte(page, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
    if (count <= 0 || defaulted) {
        return false;
    }
    out.assign(static_cast<size_t>(count), '\0');
    return WideCharToMultiByte(page, flags, wide.data(), size, &out[0], count, nullptr, usedDefault) == count &&
           !defaulted;
}

bool Convert(UINT from, UINT to, const std::string& in, std::string& out)
{
    if (in.empty()) {
        out.clear();
        return true;
    }
    std::wstring wide;
    std::string converted;
    if (!ToWide(from, in, wide) || !FromWide(to, wide, converted)) {
        return false;
    }
    out.swap(converted);
    return true;
}

}  // namespace

CCodePageText::CCodePageText(unsigned page) : codePage(page)
{
    if (!IsValidCodePage(page)) {
        throw std::invalid_argument("code page " + std::to_string(page) + " is not known here");
    }
    std::string ascii;
    for (char c = 1; c != 0x7F; ++c) {
        ascii += c;
    }
    std::string converted;
    asciiKept = Convert(page, CP_UTF8, ascii, converted) && converted == ascii;
}

CCodePageText::~CCodePageText() = default;

bool CCodePageText::ToAnsi(const std::string& utf8, std::string& ansi) const
{
    return Convert(CP_UTF8, codePage, utf8, ansi);
}

bool CCodePageText::Decode(const std::string& ansi, std::string& utf8) const
{
    return Convert(codePage, CP_UTF8, ansi, utf8);
}
