// Arbitrary command lines through CommandTailOf: the tail is a suffix of the
// line that never starts with a character of code 1 to 32, and what comes
// before it is the whole program name followed by nothing but such
// characters; an unquoted name holds no byte of 32 or below, compared unsigned.
#include "launcher/command_tail.h"
#include "tests/fuzz/fuzz_support.h"

#include <string>

namespace {

bool IsBlank(unsigned char c)
{
    return c >= 1 && c <= ' ';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The platform's command line is terminated text: it ends at the first zero byte.
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.c_str();
    const char* tail = CommandTailOf(line.c_str());
    Require(tail >= line.c_str() && tail <= line.c_str() + line.size());
    size_t tailStart = static_cast<size_t>(tail - line.c_str());
    Require(tail[0] == '\0' || !IsBlank(static_cast<unsigned char>(tail[0])));

    // The name: up to and with the closing quote, or the first run of bytes
    // above 32 compared unsigned.
    size_t nameEnd = 0;
    if (!line.empty() && line[0] == '"') {
        size_t closing = line.find('"', 1);
        if (closing == std::string::npos) {
            Require(tailStart == line.size());  // the whole line is the name
            return 0;
        }
        nameEnd = closing + 1;
    } else {
        while (nameEnd < line.size() && static_cast<unsigned char>(line[nameEnd]) > ' ') {
            ++nameEnd;
        }
    }
    // The tail starts past the name (so the name holds no byte of 32 or
    // below), and only blanks lie between them.
    Require(tailStart >= nameEnd);
    for (size_t i = nameEnd; i < tailStart; ++i) {
        Require(IsBlank(static_cast<unsigned char>(line[i])));
    }
    return 0;
}
