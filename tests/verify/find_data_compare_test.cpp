#include "listing_maker.h"

#include "tests/support/case_name.h"
#include "verify/find_data_compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>

namespace {

struct MatchCase {
    const char* name;
    std::function<void(WIN32_FIND_DATAA& onDisk)> change;
    bool filesMatch;
    bool foldersMatch;
};

void PrintTo(const MatchCase& c, std::ostream* os)
{
    *os << c.name;
}

class FindDataMatchTest : public testing::TestWithParam<MatchCase> {};

TEST_P(FindDataMatchTest, ComparesOnlyTheFieldsNotIgnored)
{
    const MatchCase& c = GetParam();
    WIN32_FIND_DATAA expected = MakeRecord(File("Readme.txt", 100, 0x21));
    WIN32_FIND_DATAA onDisk = expected;
    c.change(onDisk);
    EXPECT_EQ(cmpFiles.Match(expected, onDisk) != 0, c.filesMatch);
    EXPECT_EQ(cmpFolders.Match(expected, onDisk) != 0, c.foldersMatch);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FindDataMatchTest,
    testing::Values(
        MatchCase{"identical", [](WIN32_FIND_DATAA&) {}, true, true},
        MatchCase{"name in other letter case", [](WIN32_FIND_DATAA& d) { std::strcpy(d.cFileName, "README.TXT"); }, true, true},
        MatchCase{"other name", [](WIN32_FIND_DATAA& d) { std::strcpy(d.cFileName, "Readme.txt2"); }, false, false},
        MatchCase{"low size differs", [](WIN32_FIND_DATAA& d) { d.nFileSizeLow = 101; }, false, true},
        MatchCase{"high size differs", [](WIN32_FIND_DATAA& d) { d.nFileSizeHigh = 1; }, true, true},
        MatchCase{"writable copy", [](WIN32_FIND_DATAA& d) { d.dwFileAttributes = 0x20; }, false, true},
        MatchCase{"times differ", [](WIN32_FIND_DATAA& d) {
            d.ftCreationTime = {9, 9};
            d.ftLastAccessTime = {9, 9};
            d.ftLastWriteTime = {9, 9};
        }, true, true},
        MatchCase{"short name differs", [](WIN32_FIND_DATAA& d) { std::strcpy(d.cAlternateFileName, "README~1.TXT"); }, true, true}),
    CaseName());

// Only among the root's files is setup.msi the package; below, it is a file like the others.
TEST(FindDataCompareTest, SetupPackageMatchesOnItsNameInAnyCaseAtTheRootOnly)
{
    WIN32_FIND_DATAA expected = MakeRecord(File("setup.msi", 100, 0x21));
    WIN32_FIND_DATAA onDisk = MakeRecord(File("SETUP.MSI", 123456, 0x20));
    EXPECT_TRUE(cmpRootFiles.Match(expected, onDisk));
    EXPECT_FALSE(cmpFiles.Match(expected, onDisk));
    std::strcpy(onDisk.cFileName, "Setup.Msi");
    EXPECT_TRUE(cmpRootFiles.Match(onDisk, expected));
    EXPECT_FALSE(cmpFiles.Match(onDisk, expected));
    std::strcpy(onDisk.cFileName, "setup.msi.bak");
    EXPECT_FALSE(cmpRootFiles.Match(expected, onDisk));
}

TEST(FindDataCompareTest, TimesCountWhenNotIgnored)
{
    const CFindDataCompare everything = {FALSE, FALSE, FALSE, FALSE, FALSE, FALSE};
    WIN32_FIND_DATAA a = MakeRecord(File("a", 1));
    WIN32_FIND_DATAA b = a;
    EXPECT_TRUE(everything.Match(a, b));
    b.ftLastWriteTime.dwHighDateTime += 1;
    EXPECT_FALSE(everything.Match(a, b));
    b = a;
    b.ftCreationTime.dwLowDateTime += 1;
    EXPECT_FALSE(everything.Match(a, b));
    b = a;
    b.ftLastAccessTime.dwLowDateTime += 1;
    EXPECT_FALSE(everything.Match(a, b));
}

TEST(FindDataCompareTest, FindCoversAndIsSame)
{
    CFindDataArray listed = {MakeRecord(File("a", 1)), MakeRecord(File("b", 2))};
    CFindDataArray found = {MakeRecord(File("B", 2)), MakeRecord(File("A", 1))};
    EXPECT_EQ(cmpFiles.Find(found, listed[0]), 1);
    EXPECT_EQ(cmpFiles.Find(found, MakeRecord(File("c", 1))), -1);
    EXPECT_TRUE(cmpFiles.IsSame(listed, found));

    CFindDataArray extra = found;
    extra.push_back(MakeRecord(File("c", 3)));
    EXPECT_TRUE(cmpFiles.Covers(listed, extra));
    EXPECT_FALSE(cmpFiles.Covers(extra, listed));
    EXPECT_FALSE(cmpFiles.IsSame(listed, extra));
    EXPECT_FALSE(cmpFiles.IsSame(extra, listed));
    EXPECT_TRUE(cmpFiles.IsSame(CFindDataArray(), CFindDataArray()));
}

}  // namespace
