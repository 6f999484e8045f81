#include "launcher/path_parts.h"
#include "tests/support/case_name.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#ifndef _WIN32
#include <port/host.h>
#endif

namespace {

struct SplitCase {
    const char* name;
    std::string path;
    PathParts parts;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.path << ")";
}

class SplitPathTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathTest, GivesDriveDirectoryNameAndExtension)
{
    const SplitCase& c = GetParam();
    PathParts parts = SplitPath(c.path);
    EXPECT_EQ(c.parts.drive, parts.drive) << c.name;
    EXPECT_EQ(c.parts.directory, parts.directory) << c.name;
    EXPECT_EQ(c.parts.baseName, parts.baseName) << c.name;
    EXPECT_EQ(c.parts.extension, parts.extension) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitPathTest,
    testing::Values(
        SplitCase{"short program path", "D:\\SETUP\\INSTAL~1.EXE", {"D:", "\\SETUP\\", "INSTAL~1", ".EXE"}},
        SplitCase{"forward slashes", "C:/app/sub/Tarvolen.exe", {"C:", "/app/sub/", "Tarvolen", ".exe"}},
        SplitCase{"mixed separators", "C:\\app/sub\\x.y", {"C:", "\\app/sub\\", "x", ".y"}},
        SplitCase{"drive root", "E:\\setup.msi", {"E:", "\\", "setup", ".msi"}},
        SplitCase{"last period wins", "C:\\a\\b.tar.gz", {"C:", "\\a\\", "b.tar", ".gz"}},
        SplitCase{"period in a folder only", "C:\\v1.2\\setup", {"C:", "\\v1.2\\", "setup", ""}},
        SplitCase{"no drive", "\\\\server\\share\\a.exe", {"", "\\\\server\\share\\", "a", ".exe"}},
        SplitCase{"no directory", "a.exe", {"", "", "a", ".exe"}},
        SplitCase{"drive only", "C:", {"C:", "", "", ""}},
        SplitCase{"name is only an extension", "C:\\dir\\.ini", {"C:", "\\dir\\", "", ".ini"}},
        SplitCase{"empty", "", {"", "", "", ""}}),
    CaseName());

struct JoinCase {
    const char* name;
    PathParts parts;
    std::string path;
};

void PrintTo(const JoinCase& c, std::ostream* os)
{
    *os << c.name;
}

class JoinPathTest : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinPathTest, JoinsAsTheLauncherNamesItsFiles)
{
    const JoinCase& c = GetParam();
    EXPECT_EQ(c.path, JoinPath(c.parts.drive, c.parts.directory, c.parts.baseName, c.parts.extension))
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinPathTest,
    testing::Values(
        JoinCase{"settings file", {"D:", "\\SETUP\\", "INSTAL~1", ".ini"}, "D:\\SETUP\\INSTAL~1.ini"},
        JoinCase{"extension without period", {"D:", "\\SETUP\\", "INSTAL~1", "ini"}, "D:\\SETUP\\INSTAL~1.ini"},
        JoinCase{"launcher directory", {"D:", "\\SETUP\\", "", ""}, "D:\\SETUP\\"},
        JoinCase{"separator added", {"C:", "\\app", "x", ".ini"}, "C:\\app\\x.ini"},
        JoinCase{"slash kept", {"C:", "/app/", "x", ""}, "C:/app/x"},
        JoinCase{"root as directory", {"", "E:\\", "disk1.id", ""}, "E:\\disk1.id"},
        JoinCase{"drive letter only taken", {"C:x", "\\a\\", "b", ""}, "C:\\a\\b"},
        JoinCase{"no directory", {"", "", "a", ".ini"}, "a.ini"}),
    CaseName());

TEST(PathPartsTest, SplitThenJoinGivesTheLauncherDirectory)
{
    PathParts parts = SplitPath("C:\\Program Files\\Kit\\Tarvolen.exe");
    EXPECT_EQ("C:\\Program Files\\Kit\\Tarvolen.ini", JoinPath(parts.drive, parts.directory, parts.baseName, ".ini"));
    EXPECT_EQ("C:\\Program Files\\Kit\\", JoinPath(parts.drive, parts.directory, "", ""));
}

#ifndef _WIN32
// "ソ" in Shift-JIS is 0x83 0x5C: its trail byte is the backslash.
const std::string so = "\x83\x5C";

class ShiftJisPathTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(PortSetCodePage(932)); }
    void TearDown() override { PortSetCodePage(1252); }
};

TEST_F(ShiftJisPathTest, TrailByteIsNoSeparator)
{
    PathParts parts = SplitPath("C:\\" + so + "\\" + so + ".EXE");
    EXPECT_EQ("C:", parts.drive);
    EXPECT_EQ("\\" + so + "\\", parts.directory);
    EXPECT_EQ(so, parts.baseName);
    EXPECT_EQ(".EXE", parts.extension);
}

TEST_F(ShiftJisPathTest, FolderEndingInATrailByteGetsASeparator)
{
    EXPECT_EQ("C:\\" + so + "\\x.ini", JoinPath("C:", "\\" + so, "x", ".ini"));
}

TEST(SingleBytePathTest, TheSameBytesAreTwoCharactersInCodePage1252)
{
    ASSERT_EQ(1252u, GetACP());
    PathParts parts = SplitPath("C:\\" + so + "\\" + so + ".EXE");
    EXPECT_EQ("\\" + so + "\\\x83\\", parts.directory);
    EXPECT_EQ("", parts.baseName);
    EXPECT_EQ("C:\\\x83\\x.ini", JoinPath("C:", "\\\x83\\", "x", ".ini"));
}
#endif

}  // namespace
