#include "launcher/command_template.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

const PlaceholderValues values = {"C:\\APP\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "E:\\setup.msi",
                                  "C:\\APP\\app.mst"};

struct TemplateCase {
    const char* name;
    std::string commandTemplate;
    std::string commandLine;
};

void PrintTo(const TemplateCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.commandTemplate << ")";
}

class ExpandCommandTemplateTest : public testing::TestWithParam<TemplateCase> {};

TEST_P(ExpandCommandTemplateTest, ReplacesEveryPairFromLeftToRight)
{
    const TemplateCase& c = GetParam();
    EXPECT_EQ(c.commandLine, ExpandCommandTemplate(c.commandTemplate, values)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExpandCommandTemplateTest,
    testing::Values(
        TemplateCase{"package and transform", "/i [%PACKAGE%] TRANSFORMS=[%TRANSFORM%]",
                     "/i E:\\setup.msi TRANSFORMS=C:\\APP\\app.mst"},
        TemplateCase{"placeholder at the end", "/i [%PACKAGE%]", "/i E:\\setup.msi"},
        TemplateCase{"no bracket", "/i setup.msi /qn", "/i setup.msi /qn"},
        TemplateCase{"lone opening bracket", "/i [%PACKAGE% /qn", "/i [%PACKAGE% /qn"},
        TemplateCase{"lone bracket after a pair", "x [%PACKAGE%] y [z", "x E:\\setup.msi y [z"},
        TemplateCase{"closing bracket first", "a] [%P]", "a] E:\\setup.msi"},
        TemplateCase{"empty template", "", ""},
        TemplateCase{"empty token", "[]", "C:\\APP\\"},
        TemplateCase{"percent only", "[%]", "C:\\APP\\"},
        TemplateCase{"%S", "[%S]", "C:\\APP\\"},
        TemplateCase{"%W", "[%W]", "C:\\WINDOWS\\SYSTEM32"},
        TemplateCase{"%WIN", "[%WIN]", "C:\\WINDOWS\\SYSTEM32"},
        TemplateCase{"%WIND", "[%WIND]", "C:\\WINDOWS"},
        TemplateCase{"%WINDIR%", "[%WINDIR%]", "C:\\WINDOWS"},
        TemplateCase{"%WINSYSDIR%", "[%WINSYSDIR%]", "C:\\WINDOWS\\SYSTEM32"},
        TemplateCase{"%SRCDIR%", "[%SRCDIR%]", "C:\\APP\\"},
        TemplateCase{"%P", "[%P]", "E:\\setup.msi"},
        TemplateCase{"%T", "[%T]", "C:\\APP\\app.mst"},
        TemplateCase{"lower case selects nothing", "a[%srcdir%]b", "ab"},
        TemplateCase{"longer than a name", "a[%SRCDIR%X]b", "ab"},
        TemplateCase{"without percent signs", "a[PACKAGE]b", "ab"},
        TemplateCase{"blanks inside", "a[ %PACKAGE% ]b", "ab"},
        TemplateCase{"opening bracket inside a token", "[a[%PACKAGE%]", ""},
        TemplateCase{"two pairs side by side", "[%PACKAGE%][%TRANSFORM%]", "E:\\setup.msiC:\\APP\\app.mst"},
        TemplateCase{"quotes written around", "/i \"[%PACKAGE%]\" /qn", "/i \"E:\\setup.msi\" /qn"}),
    CaseName());

TEST(ExpandCommandTemplateTest, InsertedValuesAreNotScanned)
{
    PlaceholderValues bracketed = values;
    bracketed.package = "\"D:\\[%TRANSFORM%]\\a].msi\"";
    EXPECT_EQ("/i \"D:\\[%TRANSFORM%]\\a].msi\" T=C:\\APP\\app.mst",
              ExpandCommandTemplate("/i [%PACKAGE%] T=[%TRANSFORM%]", bracketed));
}

TEST(ExpandCommandTemplateTest, LongValuesAreNeverCut)
{
    PlaceholderValues longValues = values;
    longValues.package = "E:\\" + std::string(400, 'p') + ".msi";
    std::string commandTemplate = "/i [%PACKAGE%] " + std::string(1000, 'x');
    std::string commandLine = ExpandCommandTemplate(commandTemplate, longValues);
    EXPECT_EQ(3 + longValues.package.size() + 1 + 1000, commandLine.size());
    EXPECT_EQ(std::string(1000, 'x'), commandLine.substr(commandLine.size() - 1000));
}

}  // namespace
