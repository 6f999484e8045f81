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

TEST(StringCompareTest, IgnoresLetterCaseOnly)
{
    EXPECT_EQ(lstrcmpiA("Setup.MSI", "setup.msi"), 0);
    EXPECT_EQ(lstrcmpiA("", ""), 0);
    EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
    EXPECT_GT(lstrcmpiA("abcd", "ABC"), 0);
    EXPECT_NE(lstrcmpiA("setup.msi", "setup.ms"), 0);
}

#ifndef _WIN32
// The port compares eight ASCII bytes at a time where it can. Texts of the
// first and last letters and their neighbours '@' and '[', a period, a
// backslash and an accented letter, in both cases, cut so that they end on
// the last byte before a page nobody may read: every answer must be that of
// comparing the folded characters one by one, and no read may touch that page.
// (Windows orders punctuation by its own collation, so this is the port's.)
TEST(StringCompareTest, WordsAtATimeAgreeWithCharacterByCharacter)
{
    long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<char*>(mmap(nullptr, 4 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(MAP_FAILED, static_cast<void*>(pages));
    ASSERT_EQ(0, mprotect(pages + page, page, PROT_NONE));
    ASSERT_EQ(0, mprotect(pages + 3 * page, page, PROT_NONE));
    // Each piece folds to one character; pieces 2k and 2k+1 differ in case
    // only, the accented pair is two bytes each.
    const char* const pieces[] = {"a", "A", "z", "Z", "\xC3\xA9", "\xC3\x89", "@", "[", ".", "\\"};
    const int folded[] = {'a', 'a', 'z', 'z', 0xE9, 0xE9, '@', '[', '.', '\\'};
    const size_t pieceCount = sizeof(pieces) / sizeof(pieces[0]);
    std::mt19937 random(20261209);
    for (int round = 0; round < 4000; ++round) {
        std::string text[2];
        std::vector<int> fold[2];
        size_t shared = random() % 30;
        for (int side = 0; side < 2; ++side) {
            std::mt19937 start(static_cast<unsigned>(round));
            size_t length = shared + random() % 12;
            for (size_t i = 0; i < length; ++i) {
                size_t piece = (i < shared ? start() : random()) % pieceCount;
                // Within the shared start only the letter case may differ.
                if (i < shared && piece < 6 && random() % 4 == 0) {
                    piece ^= 1;
                }
                text[side] += pieces[piece];
                fold[side].push_back(folded[piece]);
            }
        }
        // A third of the rounds: each text ends at a guard page. The others:
        // bytes follow the terminators that differ at once, or only after as
        // many as a word holds; neither may count.
        bool atGuard = round % 3 == 0;
        char* a = atGuard ? pages + page - 1 - text[0].size() : pages;
        char* b = atGuard ? pages + 3 * page - 1 - text[1].size() : pages + 2 * page;
        std::memcpy(a, text[0].c_str(), text[0].size() + 1);
        std::memcpy(b, text[1].c_str(), text[1].size() + 1);
        if (!atGuard) {
            bool atOnce = round % 3 == 1;
            std::memcpy(a + text[0].size() + 1, atOnce ? "Pxxxxxxxxxxxxxxxx" : "xxxxxxxxxxxxxxxxQ", 18);
            std::memcpy(b + text[1].size() + 1, atOnce ? "Qxxxxxxxxxxxxxxxx" : "xxxxxxxxxxxxxxxxR", 18);
        }
        int expected = fold[0] == fold[1] ? 0 : (fold[0] < fold[1] ? -1 : 1);
        int got = lstrcmpiA(a, b);
        ASSERT_EQ(expected, (got > 0) - (got < 0)) << "round " << round << ": " << text[0] << " | " << text[1];
    }
    munmap(pages, 4 * page);
}
#endif

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
