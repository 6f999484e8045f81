#include <windows.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <iconv.h>
#include <locale.h>
#include <map>
#include <string>

namespace {

const char* IconvName(UINT codePage)
{
    switch (codePage) {
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1252:
        return "CP1252";
    case 932:
        return "CP932";
    case CP_UTF8:
        return "UTF-8";
    default:
        return nullptr;
    }
}

// One converter per code page, opened when first asked for.
class CConverters {
public:
    ~CConverters()
    {
        for (auto& known : converters) {
            if (known.second != reinterpret_cast<iconv_t>(-1)) {
                iconv_close(known.second);
            }
        }
    }
    iconv_t For(UINT codePage)
    {
        auto known = converters.find(codePage);
        if (known != converters.end()) {
            return known->second;
        }
        const char* name = IconvName(codePage);
        iconv_t cd = name != nullptr ? iconv_open("UTF-16LE", name) : reinterpret_cast<iconv_t>(-1);
        converters[codePage] = cd;
        return cd;
    }

private:
    std::map<UINT, iconv_t> converters;
};

iconv_t Converter(UINT codePage)
{
    static CConverters converters;
    return converters.For(codePage);
}

bool SingleByte(UINT codePage)
{
    return codePage == 1250 || codePage == 1251 || codePage == 1252;
}

// The UTF-16 form of count bytes, or false when they are no text in the code
// page. Windows' single-byte tables give the bytes they define no character
// for the code point of the same value, and 932 its byte 0x80; iconv
// refuses them.
bool Convert(UINT codePage, const char* bytes, size_t count, std::u16string& wide)
{
    iconv_t cd = Converter(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    wide.clear();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(bytes);
    size_t sourceLeft = count;
    while (sourceLeft != 0) {
        char16_t units[64];
        char* target = reinterpret_cast<char*>(units);
        size_t targetLeft = sizeof(units);
        size_t result = iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        wide.append(units, static_cast<size_t>(reinterpret_cast<char16_t*>(target) - units));
        if (result != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        bool sameValue = SingleByte(codePage) || (codePage == 932 && static_cast<unsigned char>(*source) == 0x80);
        if (errno == EILSEQ && sameValue) {
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*source)));
            ++source;
            --sourceLeft;
            continue;
        }
        return false;
    }
    return true;
}

locale_t UnicodeLocale()
{
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD /*flags*/, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                               int wideCount)
{
    if (multiByte == nullptr || wideCount < 0 || (wide == nullptr && wideCount != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = multiByteCount < 0 ? std::strlen(multiByte) + 1 : static_cast<size_t>(multiByteCount);
    // Every code page the port knows gives ASCII bytes their own code points.
    size_t ascii = 0;
    while (ascii < count && static_cast<unsigned char>(multiByte[ascii]) < 0x80) {
        ++ascii;
    }
    if (ascii == count && (codePage == CP_ACP || IconvName(codePage) != nullptr)) {
        if (wideCount == 0) {
            return static_cast<int>(count);
        }
        if (count > static_cast<size_t>(wideCount)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        for (size_t i = 0; i < count; ++i) {
            wide[i] = static_cast<WCHAR>(multiByte[i]);
        }
        return static_cast<int>(count);
    }
    std::u16string units;
    // Every conversion the system asks for refuses what is no text
    // (MB_ERR_INVALID_CHARS); a code page the port does not know is refused too.
    if (!Convert(codePage == CP_ACP ? GetACP() : codePage, multiByte, count, units)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (wideCount == 0) {
        return static_cast<int>(units.size());
    }
    if (units.size() > static_cast<size_t>(wideCount)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(wide, units.data(), units.size() * sizeof(WCHAR));
    return static_cast<int>(units.size());
}

int WINAPI LCMapStringW(LCID locale, DWORD flags, LPCWSTR source, int sourceCount, LPWSTR destination,
                        int destinationCount)
{
    if (locale != LOCALE_INVARIANT || flags != LCMAP_UPPERCASE || source == nullptr || destinationCount < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = static_cast<size_t>(sourceCount);
    if (sourceCount < 0) {
        for (count = 0; source[count] != 0; ++count) {
        }
        ++count;
    }
    if (destinationCount == 0) {
        return static_cast<int>(count);
    }
    if (count > static_cast<size_t>(destinationCount)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Surrogates are left as they are: the case table covers the first plane
    // only. A letter whose capital has another small letter (micro sign,
    // final sigma, dotless i) keeps its form, as Windows' case table has it.
    locale_t unicode = UnicodeLocale();
    for (size_t i = 0; i < count; ++i) {
        char16_t unit = source[i];
        if (unit < 0x80) {
            destination[i] = unit >= 'a' && unit <= 'z' ? static_cast<char16_t>(unit - 'a' + 'A') : unit;
            continue;
        }
        bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        wint_t upper = surrogate ? unit : towupper_l(unit, unicode);
        bool pair = upper <= 0xFFFF && towlower_l(upper, unicode) == unit;
        destination[i] = pair ? static_cast<char16_t>(upper) : unit;
    }
    return static_cast<int>(count);
}
