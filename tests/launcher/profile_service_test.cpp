// The profile service as the launcher uses it. The same cases run against the
// port natively and against the real service under Wine.
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const char sentinel = '#';

struct TextCase {
    const char* name;
    std::string file;  // content of the settings file
    const char* section;
    const char* key;
    const char* defaultValue;
    DWORD capacity;
    DWORD result;
    std::string text;  // what the buffer holds afterwards
};

void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string infoSection = "[Info]\r\nDebug=1\r\n";

class ProfileTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(ProfileTextTest, ReadsAsThePlatformDoes)
{
    const TextCase& c = GetParam();
    CScratchFolder folder;
    std::string path = folder.Write("settings.ini", c.file);
    std::vector<char> buffer(c.capacity + 4, sentinel);

    DWORD result = GetPrivateProfileStringA(c.section, c.key, c.defaultValue, buffer.data(),
                                            c.capacity, path.c_str());

    EXPECT_EQ(c.result, result) << c.name;
    EXPECT_EQ(c.text, std::string(buffer.data())) << c.name;
    for (size_t i = c.text.size() + 1; i < buffer.size(); ++i) {
        EXPECT_EQ(sentinel, buffer[i]) << c.name << ": byte " << i << " after the terminator";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileTextTest,
    testing::Values(
        TextCase{"plain value", infoSection + "Product=ABC\r\n", "Info", "Product", "", 20, 3, "ABC"},
        TextCase{"exact fit", infoSection + "Product=ABCDEFG\r\n", "Info", "Product", "", 8, 7, "ABCDEFG"},
        TextCase{"one short", infoSection + "Product=ABCDEFG\r\n", "Info", "Product", "", 7, 6, "ABCDEF"},
        TextCase{"capacity 1", infoSection + "Product=ABCDEFG\r\n", "Info", "Product", "", 1, 0, ""},
        TextCase{"names without regard to case", "[iNFO]\nPRODUCT=ABC\n", "Info", "product", "", 20,
                 3, "ABC"},
        TextCase{"values keep their case", "[Info]\nProduct=aBc\n", "Info", "Product", "", 20, 3,
                 "aBc"},
        TextCase{"blanks around names and value", "  [Info]  \n \t Product \t=  A B C \t \n",
                 "Info", "Product", "", 20, 5, "A B C"},
        TextCase{"blanks around the asked names", "[Info]\nProduct=ABC\n", " Info ", " Product ", "",
                 20, 3, "ABC"},
        TextCase{"line feeds only", "[Other]\nX=1\n\n[Info]\nId=7\nProduct=ABC", "Info", "Product",
                 "", 20, 3, "ABC"},
        TextCase{"double quotes dropped", "[Info]\nProduct=\"A B\"\n", "Info", "Product", "", 20, 3,
                 "A B"},
        TextCase{"single quotes dropped", "[Info]\nProduct='A B'\n", "Info", "Product", "", 20, 3,
                 "A B"},
        TextCase{"quoted value cut", "[Info]\nProduct=\"ABCDEF\"\n", "Info", "Product", "", 4, 3,
                 "ABC"},
        TextCase{"unmatched quote kept", "[Info]\nProduct=\"ABC\n", "Info", "Product", "", 20, 4,
                 "\"ABC"},
        TextCase{"mixed quotes kept", "[Info]\nProduct=\"ABC'\n", "Info", "Product", "", 20, 5,
                 "\"ABC'"},
        TextCase{"inner quotes kept", "[Info]\nProduct=A\"B\"C\n", "Info", "Product", "", 20, 5,
                 "A\"B\"C"},
        TextCase{"zero byte ends the value", std::string("[Info]\nProduct=AB\0CD\n", 21), "Info",
                 "Product", "", 20, 2, "AB"},
        TextCase{"value with equals sign", "[Info]\nProduct=a=b\n", "Info", "Product", "", 20, 3,
                 "a=b"},
        TextCase{"value with brackets", "[Command]\nSetup=/i [%PACKAGE%] /qn\n", "Command", "Setup",
                 "", 40, 18, "/i [%PACKAGE%] /qn"},
        TextCase{"section line with text after it", "[Info] ; disc identity\nId=7\n", "Info", "Id",
                 "", 20, 1, "7"},
        TextCase{"first of two keys wins", "[Info]\nId=1\nId=2\n", "Info", "Id", "", 20, 1, "1"},
        TextCase{"missing key gives the default", infoSection, "Info", "Product", "none", 20, 4, "none"},
        TextCase{"default cut", infoSection, "Info", "Product", "none", 3, 2, "no"},
        TextCase{"default loses trailing spaces", infoSection, "Info", "Product", "none  ", 20, 4, "none"},
        TextCase{"null default is empty", infoSection, "Info", "Product", nullptr, 20, 0, ""},
        TextCase{"empty value is not the default", "[Info]\nProduct=\n", "Info", "Product", "none",
                 20, 0, ""},
        TextCase{"key without equals sign gives the default", "[Info]\nProduct\n", "Info", "Product",
                 "none", 20, 4, "none"},
        TextCase{"commented key is another key", "[Info]\n;Product=ABC\n", "Info", "Product", "",
                 20, 0, ""},
        TextCase{"key of another section", "[Other]\nProduct=ABC\n[Info]\nId=7\n", "Info",
                 "Product", "", 20, 0, ""},
        TextCase{"key before any section", "Product=ABC\n[Info]\nId=7\n", "Info", "Product", "",
                 20, 0, ""},
        TextCase{"missing section", "[Other]\nProduct=ABC\n", "Info", "Product", "", 20, 0, ""},
        TextCase{"only the first section of a name is searched",
                 "[Info]\nId=7\n[Other]\n[Info]\nProduct=ABC\n", "Info", "Product", "", 20, 0, ""},
        TextCase{"blanks inside the brackets", "[ Info\t]\nProduct=ABC\n", "Info", "Product", "", 20,
                 3, "ABC"},
        TextCase{"empty file", "", "Info", "Product", "none", 20, 4, "none"}),
    CaseName());

TEST(ProfileTextTest, MissingFileGivesTheDefault)
{
    CScratchFolder folder;
    std::string path = folder.Path() + "absent.ini";
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), sentinel);
    EXPECT_EQ(4u, GetPrivateProfileStringA("Info", "Product", "none", buffer, 6, path.c_str()));
    EXPECT_STREQ("none", buffer);
    EXPECT_EQ(sentinel, buffer[6]) << "past the capacity";
    EXPECT_EQ(0u, GetPrivateProfileStringA("Info", "Product", "", buffer, 6, path.c_str()));
    EXPECT_STREQ("", buffer);
}

TEST(ProfileTextTest, SeesAFileRewrittenBetweenReads)
{
    CScratchFolder folder;
    std::string path = folder.Write("settings.ini", "[Info]\nId=1\n");
    char buffer[8] = {};
    GetPrivateProfileStringA("Info", "Id", "", buffer, sizeof(buffer), path.c_str());
    EXPECT_STREQ("1", buffer);
    folder.Write("settings.ini", "[Info]\nId=22\n");
    GetPrivateProfileStringA("Info", "Id", "", buffer, sizeof(buffer), path.c_str());
    EXPECT_STREQ("22", buffer);
}

struct IntCase {
    const char* name;
    std::string file;
    INT defaultValue;
    UINT result;
};

void PrintTo(const IntCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntTest, ReadsAsThePlatformDoes)
{
    const IntCase& c = GetParam();
    CScratchFolder folder;
    std::string path = folder.Write("settings.ini", c.file);
    EXPECT_EQ(c.result, GetPrivateProfileIntA("Info", "Debug", c.defaultValue, path.c_str())) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileIntTest,
    testing::Values(IntCase{"one", "[Info]\nDebug=1\n", 0, 1},
                    IntCase{"zero", "[Info]\nDebug=0\n", 7, 0},
                    IntCase{"larger number", "[Info]\nDebug=4096\n", 0, 4096},
                    IntCase{"blanks around", "[info]\n debug =  12 \n", 0, 12},
                    IntCase{"digits then text", "[Info]\nDebug=12abc\n", 0, 12},
                    IntCase{"text only", "[Info]\nDebug=yes\n", 7, 0},
                    IntCase{"quoted", "[Info]\nDebug=\"3\"\n", 0, 3},
                    IntCase{"missing key", "[Info]\nProduct=ABC\n", 7, 7},
                    IntCase{"empty value", "[Info]\nDebug=\n", 7, 7},
                    IntCase{"missing section", "[Command]\nDebug=1\n", 0, 0}),
    CaseName());

TEST(ProfileIntTest, MissingFileGivesTheDefault)
{
    CScratchFolder folder;
    EXPECT_EQ(9u, GetPrivateProfileIntA("Info", "Debug", 9, (folder.Path() + "absent.ini").c_str()));
}

}  // namespace
