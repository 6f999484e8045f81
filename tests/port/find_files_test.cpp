// Directory enumeration, case-insensitive comparison, file times and path
// splitting: natively the port, under Wine the real services.
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"

#include <windows.h>
#include <stdlib.h>
#ifndef _WIN32
#include <port/host.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// name -> attributes of every entry FindFirstFileA/FindNextFileA deliver.
std::map<std::string, DWORD> Enumerate(const std::string& pattern, bool* opened = nullptr)
{
    std::map<std::string, DWORD> entries;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (opened != nullptr) {
        *opened = search != INVALID_HANDLE_VALUE;
    }
    if (search == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        entries[data.cFileName] = data.dwFileAttributes;
    } while (FindNextFileA(search, &data));
    EXPECT_TRUE(FindClose(search));
    return entries;
}

TEST(FindFilesTest, StarDotStarListsEveryNameWithDotEntries)
{
    CScratchFolder scratch;
    scratch.Write("readme.txt", "12345");
    scratch.Write("LICENSE", "x");
    fs::create_directory(scratch.Path() + "Sub");
    std::map<std::string, DWORD> entries = Enumerate(scratch.Path() + "*.*");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.count("."), 1u);
    EXPECT_EQ(entries.count(".."), 1u);
    EXPECT_EQ(entries["readme.txt"], 0x20u);
    EXPECT_EQ(entries["LICENSE"], 0x20u);
    EXPECT_EQ(entries["Sub"], 0x10u);
}

TEST(FindFilesTest, ReadOnlyFileReportsReadOnlyAndArchive)
{
    CScratchFolder scratch;
    std::string file = scratch.Write("data.bin", std::string(70000, 'd'));
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((scratch.Path() + "data.bin").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, 0x21u);
    EXPECT_EQ(data.nFileSizeLow, 70000u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_STREQ(data.cFileName, "data.bin");
    EXPECT_FALSE(FindNextFileA(search, &data));
    FindClose(search);
}

struct MaskCase {
    const char* name;
    const char* mask;
    std::vector<std::string> expected;  // besides "." and ".." where the mask matches them
};

void PrintTo(const MaskCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.mask << ")";
}

class FindFilesMaskTest : public testing::TestWithParam<MaskCase> {};

TEST_P(FindFilesMaskTest, MatchesAsWindowsDoes)
{
    const MaskCase& c = GetParam();
    CScratchFolder scratch;
    for (const char* name : {"a.txt", "B.TXT", "ab.txt", "notes", "data.cab"}) {
        scratch.Write(name, "x");
    }
    std::map<std::string, DWORD> entries = Enumerate(scratch.Path() + c.mask);
    entries.erase(".");
    entries.erase("..");
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        names.push_back(entry.first);
    }
    EXPECT_EQ(names, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, FindFilesMaskTest,
    testing::Values(
        MaskCase{"extension", "*.txt", {"B.TXT", "a.txt", "ab.txt"}},
        MaskCase{"one character", "?.txt", {"B.TXT", "a.txt"}},
        MaskCase{"letter case ignored", "NOTES", {"notes"}},
        MaskCase{"everything", "*", {"B.TXT", "a.txt", "ab.txt", "data.cab", "notes"}},
        MaskCase{"no match", "*.doc", {}}),
    CaseName());

TEST(FindFilesTest, MissingFolderOrNoMatchFails)
{
    CScratchFolder scratch;
    bool opened = true;
    Enumerate(scratch.Path() + "absent\\*.*", &opened);
    EXPECT_FALSE(opened);
    Enumerate(scratch.Path() + "*.doc", &opened);
    EXPECT_FALSE(opened);
}

TEST(FindFilesTest, DriveRootHasNoDotEntries)
{
#ifdef _WIN32
    std::string root = "C:\\";
#else
    CScratchFolder scratch;
    scratch.Write("autorun.inf", "x");
    PortSetDrive('Q', 5, scratch.Path());
    std::string root = "Q:\\";
#endif
    std::map<std::string, DWORD> entries = Enumerate(root + "*.*");
    EXPECT_FALSE(entries.empty());
    EXPECT_EQ(entries.count("."), 0u);
    EXPECT_EQ(entries.count(".."), 0u);
}

TEST(FileTimeTest, ComparesHighPartFirst)
{
    FILETIME early = {0xFFFFFFFFu, 1};
    FILETIME late = {0, 2};
    EXPECT_EQ(CompareFileTime(&early, &late), -1);
    EXPECT_EQ(CompareFileTime(&late, &early), 1);
    EXPECT_EQ(CompareFileTime(&late, &late), 0);
}

struct SplitCase {
    const char* name;
    const char* path;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name;
}

class SplitPathTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathTest, SplitsIntoFourParts)
{
    const SplitCase& c = GetParam();
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    char fname[_MAX_FNAME];
    char ext[_MAX_EXT];
    _splitpath(c.path, drive, dir, fname, ext);
    EXPECT_STREQ(drive, c.drive);
    EXPECT_STREQ(dir, c.dir);
    EXPECT_STREQ(fname, c.fname);
    EXPECT_STREQ(ext, c.ext);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitPathTest,
    testing::Values(
        SplitCase{"full path", "E:\\Disc\\Data\\setup.msi", "E:", "\\Disc\\Data\\", "setup", ".msi"},
        SplitCase{"drive root", "E:\\", "E:", "\\", "", ""},
        SplitCase{"last period wins", "C:\\a.b\\file.tar.gz", "C:", "\\a.b\\", "file.tar", ".gz"},
        SplitCase{"forward slashes", "C:/x/y", "C:", "/x/", "y", ""},
        SplitCase{"no drive", "dir\\name", "", "dir\\", "name", ""},
        SplitCase{"leading period", ".hidden", "", "", "", ".hidden"},
        SplitCase{"directory part of 255 characters", "C:\\" "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa" "\\x.y", "C:",
                  "\\" "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa" "\\", "x", ".y"},
        SplitCase{"directory part too long for the runtime", "C:\\" "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa" "\\x.y", "", "", "", ""}),
    CaseName());

}  // namespace
