#include <windows.h>
#include <port/host.h>

#include <cstring>

namespace {

struct LeadByteRange {
    BYTE first;
    BYTE last;
};

struct CodePage {
    UINT id;
    LeadByteRange leadBytes[2];  // {0, 0} ends the list early
};

// Lead-byte ranges as the platform's code page tables give them; the
// single-byte pages have none; the first is active at start.
const CodePage knownCodePages[] = {
    {1252, {}},
    {1251, {}},
    {1250, {}},
    {65001, {}},
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}},
    {936, {{0x81, 0xFE}, {0, 0}}},
    {949, {{0x81, 0xFE}, {0, 0}}},
    {950, {{0x81, 0xFE}, {0, 0}}},
};

const CodePage*& ActiveCodePage()
{
    static const CodePage* active = &knownCodePages[0];
    return active;
}

}  // namespace

bool PortSetCodePage(UINT codePage)
{
    for (const CodePage& known : knownCodePages) {
        if (known.id == codePage) {
            ActiveCodePage() = &known;
            return true;
        }
    }
    return false;
}

UINT WINAPI GetACP()
{
    return ActiveCodePage()->id;
}

BOOL WINAPI IsDBCSLeadByte(BYTE testChar)
{
    for (const LeadByteRange& range : ActiveCodePage()->leadBytes) {
        if (range.first != 0 && testChar >= range.first && testChar <= range.last) {
            return TRUE;
        }
    }
    return FALSE;
}

// The system asks this comparison about equality only (disc identifiers), so
// the port compares bytes; equal text is equal under every locale.
int WINAPI lstrcmpA(LPCSTR string1, LPCSTR string2)
{
    if (string1 == nullptr || string2 == nullptr) {
        return string1 == string2 ? 0 : (string1 == nullptr ? -1 : 1);
    }
    int result = std::strcmp(string1, string2);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}
