#include "code_page_text.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

// Through a small window, so that a large text costs its input and its
// output and nothing more.
bool Convert(void* converter, const std::string& in, std::string& out)
{
    iconv_t cd = static_cast<iconv_t>(converter);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string converted;
    converted.reserve(in.size());
    // iconv never writes through its input pointer; POSIX merely spells it without const.
    char* source = const_cast<char*>(in.data());
    size_t sourceLeft = in.size();
    char window[65536];
    bool flushed = false;
    while (!flushed) {
        char* target = window;
        size_t targetLeft = sizeof(window);
        // With the input used up, the last call writes any shift sequence that ends the text.
        flushed = sourceLeft == 0;
        size_t result = flushed ? iconv(cd, nullptr, nullptr, &target, &targetLeft)
                                : iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        if (result == static_cast<size_t>(-1) && (flushed || errno != E2BIG)) {
            return false;
        }
        converted.append(window, static_cast<size_t>(target - window));
    }
    out.swap(converted);
    return true;
}

}  // namespace

CCodePageText::CCodePageText(unsigned page) : codePage(page)
{
    std::string name = "CP" + std::to_string(page);
    iconv_t to = iconv_open(name.c_str(), "UTF-8");
    iconv_t from = iconv_open("UTF-8", name.c_str());
    if (to == reinterpret_cast<iconv_t>(-1) || from == reinterpret_cast<iconv_t>(-1)) {
        if (to != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(to);
        }
        if (from != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(from);
        }
        throw std::invalid_argument("code page " + std::to_string(page) + " is not known here");
    }
    toAnsi = to;
    fromAnsi = from;
    std::string ascii;
    for (char c = 1; c != 0x7F; ++c) {
        ascii += c;
    }
    std::string converted;
    asciiKept = Convert(fromAnsi, ascii, converted) && converted == ascii;
}

CCodePageText::~CCodePageText()
{
    iconv_close(static_cast<iconv_t>(toAnsi));
    iconv_close(static_cast<iconv_t>(fromAnsi));
}

bool CCodePageText::ToAnsi(const std::string& utf8, std::string& ansi) const
{
    return Convert(toAnsi, utf8, ansi);
}

bool CCodePageText::Decode(const std::string& ansi, std::string& utf8) const
{
    return Convert(fromAnsi, ansi, utf8);
}
