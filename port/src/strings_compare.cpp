#include <windows.h>

#include <clocale>
#include <cstdint>
#include <cstring>
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

const uint64_t ones = 0x0101010101010101ull;
const uint64_t highs = 0x8080808080808080ull;

wchar_t AsciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<wchar_t>(c - 'A' + 'a') : static_cast<wchar_t>(c);
}

// The comparison of two texts as far as it can be told eight ASCII bytes at
// a time: sorted paths mostly share a long start and then differ in a byte
// that is not only a matter of case. Answers true with the result, or false
// with how far both are known to agree, where the character by character
// comparison goes on. A word is read only where it cannot reach into the
// next page, so a read past a terminator can never fault; the bytes past a
// terminator never decide.
__attribute__((no_sanitize_address)) inline bool CompareAsciiWords(const unsigned char* a, const unsigned char* b,
                                                                   size_t& agreed, int& result)
{
    const uintptr_t page = 4096;
    for (agreed = 0;; agreed += 8) {
        uintptr_t at = reinterpret_cast<uintptr_t>(a + agreed);
        uintptr_t bt = reinterpret_cast<uintptr_t>(b + agreed);
        if (at % page > page - 8 || bt % page > page - 8) {
            return false;
        }
        uint64_t wa = 0;
        uint64_t wb = 0;
        std::memcpy(&wa, a + agreed, 8);
        std::memcpy(&wb, b + agreed, 8);
        if (((wa | wb) & highs) != 0) {
            return false;
        }
        // The lowest flagged byte is the first zero byte of a (bytes are
        // little-endian in the word); flags above it may be false.
        uint64_t zeros = (wa - ones) & ~wa & highs;
        if (wa == wb) {
            if (zeros == 0) {
                continue;
            }
            result = 0;
            return true;
        }
        unsigned first = static_cast<unsigned>(__builtin_ctzll(wa ^ wb)) / 8;
        if (zeros != 0 && static_cast<unsigned>(__builtin_ctzll(zeros)) / 8 < first) {
            result = 0;  // both end before they differ
            return true;
        }
        wchar_t ca = AsciiLower(static_cast<unsigned char>(wa >> (8 * first)));
        wchar_t cb = AsciiLower(static_cast<unsigned char>(wb >> (8 * first)));
        if (ca == cb) {
            return false;  // a difference of case only: the characters go on from this word
        }
        result = ca < cb ? -1 : 1;
        return true;
    }
}

// Character by character from where the words left off; kept out of the
// word loop's way, which most comparisons never leave.
__attribute__((noinline)) int CompareCharacters(const unsigned char* a, const unsigned char* b)
{
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

}  // namespace

int WINAPI lstrcmpiA(LPCSTR string1, LPCSTR string2)
{
    // Windows sorts a null string before every other one.
    if (string1 == nullptr || string2 == nullptr) {
        return string1 == string2 ? 0 : (string1 == nullptr ? -1 : 1);
    }
    auto a = reinterpret_cast<const unsigned char*>(string1);
    auto b = reinterpret_cast<const unsigned char*>(string2);
    size_t agreed = 0;
    int result = 0;
    if (CompareAsciiWords(a, b, agreed, result)) {
        return result;
    }
    return CompareCharacters(a + agreed, b + agreed);
}
