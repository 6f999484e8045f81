#include "code_page_text.h"

#include <iconv.h>
#include <stdexcept>
#include <vector>

namespace {

bool Convert(void* converter, const std::string& in, std::string& out)
{
    iconv_t cd = static_cast<iconv_t>(converter);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> input(in.begin(), in.end());
    std::vector<char> output(in.size() * 4 + 4);
    char* source = input.data();
    size_t sourceLeft = input.size();
    char* target = output.data();
    size_t targetLeft = output.size();
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &target, &targetLeft) == static_cast<size_t>(-1)) {
        return false;
    }
    out.assign(output.data(), static_cast<size_t>(target - output.data()));
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

bool CCodePageText::FromAnsi(const std::string& ansi, std::string& utf8) const
{
    return Convert(fromAnsi, ansi, utf8);
}
