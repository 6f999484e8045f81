#include "launcher/command_tail.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct TailCase {
    const char* name;
    std::string commandLine;
    std::string tail;
};

void PrintTo(const TailCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandTailOfTest : public testing::TestWithParam<TailCase> {};

TEST_P(CommandTailOfTest, TakesWhatFollowsTheProgramName)
{
    const TailCase& c = GetParam();
    EXPECT_EQ(c.tail, CommandTailOf(c.commandLine.c_str())) << c.name;
}

// "Установка" and a no-break space in code page 1251: bytes a signed
// comparison takes for blanks.
const std::string cyrillicFolder = "C:\\\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0\xA0\xFF\\";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandTailOfTest,
    testing::Values(
        TailCase{"non-ASCII bytes in an unquoted name", cyrillicFolder + "Tarvolen.exe D:\\pkg.msi",
                 "D:\\pkg.msi"},
        TailCase{"quoted name with a blank and a quoted tail kept verbatim",
                 "\"C:\\Kit Launcher\\Tarvolen.exe\" \"E:\\my setup.msi\"  ", "\"E:\\my setup.msi\"  "},
        TailCase{"quote followed directly by text", "\"C:\\Kit\\Tarvolen.exe\"D:\\pkg.msi", "D:\\pkg.msi"},
        TailCase{"quote inside an unquoted name", "C:\\Kit\"s\\Tarvolen.exe D:\\pkg.msi", "D:\\pkg.msi"},
        TailCase{"no closing quote", "\"C:\\Kit Launcher\\Tarvolen.exe D:\\pkg.msi", ""},
        TailCase{"control characters tabs and blanks after the name",
                 "Tarvolen.exe\x1f\t \x01 D:\\pkg.msi", "D:\\pkg.msi"},
        TailCase{"name alone with trailing blanks", "\"C:\\Kit\\Tarvolen.exe\"  ", ""},
        TailCase{"empty line", "", ""}),
    CaseName());

}  // namespace
