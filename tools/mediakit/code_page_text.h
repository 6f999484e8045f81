// Names between the host's UTF-8 and a Windows ANSI code page: through iconv on
// POSIX hosts, through the code page tables of Windows on Windows.
#pragma once
#include <string>

class CCodePageText {
public:
    // Throws std::invalid_argument when the host does not know code page N.
    explicit CCodePageText(unsigned codePage);
    ~CCodePageText();
    CCodePageText(const CCodePageText&) = delete;
    CCodePageText& operator=(const CCodePageText&) = delete;

    // False when the text cannot be represented in the other encoding.
    bool ToAnsi(const std::string& utf8, std::string& ansi) const;
    bool FromAnsi(const std::string& ansi, std::string& utf8) const;
    // True when the ANSI text is its own UTF-8: plain ASCII in a code page
    // that keeps it.
    bool IsOwnUtf8(const std::string& ansi) const;

    unsigned CodePage() const { return codePage; }

private:
    // The platform's conversion from the code page.
    bool Decode(const std::string& ansi, std::string& utf8) const;

    unsigned codePage;
    bool asciiKept = false;  // characters 1 to 126 stand for themselves
    void* toAnsi = nullptr;    // iconv's converters; Windows needs none
    void* fromAnsi = nullptr;
};
