#include <windows.h>

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace {

// The next character of UTF-8 text; a byte that does not start a valid
// sequence stands for itself, so that any bytes compare consistently.
wchar_t NextCharacter(const unsigned char*& text)
{
    unsigned char lead = *text++;
    int follow = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (lead < 0x80 || follow == 0 || lead >= 0xF8) {
        return lead;
    }
    wchar_t value = lead & (0x3F >> follow);
    for (int i = 0; i < follow; ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            return lead;
        }
        value = (value << 6) | (text[i] & 0x3F);
    }
    text += follow;
    return value;
}

locale_t UnicodeLocale()
{
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

wchar_t FoldCase(wchar_t c)
{
    locale_t locale = UnicodeLocale();
    return locale != static_cast<locale_t>(0) ? static_cast<wchar_t>(towlower_l(c, locale))
                                              : static_cast<wchar_t>(towlower(c));
}

wchar_t AsciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<wchar_t>(c - 'A' + 'a') : static_cast<wchar_t>(c);
}

}  // namespace

int WINAPI lstrcmpiA(LPCSTR string1, LPCSTR string2)
{
    // Windows sorts a null string before every other one.
    if (string1 == nullptr || string2 == nullptr) {
        return string1 == string2 ? 0 : (string1 == nullptr ? -1 : 1);
    }
    auto a = reinterpret_cast<const unsigned char*>(string1);
    auto b = reinterpret_cast<const unsigned char*>(string2);
    for (;;) {
        // ASCII characters fold alike in every locale: the same answer without
        // asking the locale, which sorting large lists would feel.
        for (;;) {
            // Equal ASCII bytes, the usual shared start of two paths, need no folding.
            while (*a == *b && *a - 1u < 0x7Fu) {
                ++a;
                ++b;
            }
            if (*a == 0 || *a >= 0x80 || AsciiLower(*a) != AsciiLower(*b)) {
                break;
            }
            ++a;
            ++b;
        }
        if (*a == 0 && *b == 0) {
            return 0;
        }
        wchar_t ca = 0;
        wchar_t cb = 0;
        if (*a < 0x80 && *b < 0x80) {
            ca = AsciiLower(*a++);
            cb = AsciiLower(*b++);
        } else {
            ca = *a != 0 ? FoldCase(NextCharacter(a)) : 0;
            cb = *b != 0 ? FoldCase(NextCharacter(b)) : 0;
        }
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
}
