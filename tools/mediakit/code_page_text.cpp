#include "code_page_text.h"

bool CCodePageText::FromAnsi(const std::string& ansi, std::string& utf8) const
{
    if (IsOwnUtf8(ansi)) {
        utf8 = ansi;
        return true;
    }
    return Decode(ansi, utf8);
}

bool CCodePageText::IsOwnUtf8(const std::string& ansi) const
{
    // Plain ASCII text, as manifests mostly are, is its own UTF-8 in such a code page.
    // Bytes 1 to 0x7E are kept; without a branch per byte the loop runs on
    // whole vectors, which a manifest of tens of megabytes feels.
    if (!asciiKept) {
        return false;
    }
    unsigned char outside = 0;
    for (char c : ansi) {
        outside |= static_cast<unsigned char>(static_cast<unsigned char>(c) - 1u) >= 0x7Eu;
    }
    return outside == 0;
}
