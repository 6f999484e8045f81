#include "bytes_reader.h"
#include "listing_maker.h"

#include "tests/support/case_name.h"
#include "tests/support/find_failure.h"
#include "tests/support/scratch_folder.h"
#include "verify/file_iterator.h"
#include "verify/find_data_from_bin.h"
#include "verify/find_data_from_md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void MakeReadOnly(const std::string& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// On disk: root files readme.txt (6 bytes) and setup.msi; folders Data
// (with Deep holding d.bin, and a redistributable's setup.msi) and Help
// (h1.htm, h2.htm).
void WriteTree(const CScratchFolder& scratch)
{
    scratch.Write("readme.txt", "readme");
    scratch.Write("setup.msi", "package");
    scratch.Write("Data/Deep/d.bin", "0123456789");
    scratch.Write("Data/setup.msi", "redist");
    scratch.Write("Help/h1.htm", "<p>");
    scratch.Write("Help/h2.htm", "<p></p>");
}

// The listing of WriteTree's tree, with folders in the other order than the
// disk lists them and names in other letter cases.
std::vector<ListedEntry> ListedTree()
{
    return {Folder("HELP", {File("h2.htm", 7), File("H1.HTM", 3)}),
            Folder("data", {Folder("Deep", {File("d.bin", 10)}), File("setup.msi", 6)}),
            File("README.txt", 6),
            File("setup.msi", 7)};
}

// Windows volumes, and Wine's view of a host folder, take both spellings of a
// name for one file; only a case-sensitive host folder holds the two apart.
#ifdef _WIN32
const bool hostHoldsCaseTwins = false;
#else
const bool hostHoldsCaseTwins = true;
#endif

BOOL WalkAgainst(const std::vector<ListedEntry>& listed, const std::string& folder, int recursive,
                 const char* fmask = nullptr, CWalkObserver* observer = nullptr)
{
    CBytesReader reader(MakeListing(listed));
    CFindDataFromBin input(&reader);
    CFileIterator iterator;
    iterator.SetObserver(observer);
    return iterator.Walk(&input, folder.c_str(), fmask, recursive);
}

TEST(FileIteratorTest, MatchingTreePassesWhateverTheOrderCaseAndTimes)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    EXPECT_TRUE(WalkAgainst(ListedTree(), scratch.Path(), 1));
}

struct DifferenceCase {
    const char* name;
    std::function<void(const CScratchFolder&)> change;
    bool passes;
};

void PrintTo(const DifferenceCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileIteratorDifferenceTest : public testing::TestWithParam<DifferenceCase> {};

TEST_P(FileIteratorDifferenceTest, EachDifferenceFailsTheWalk)
{
    const DifferenceCase& c = GetParam();
    CScratchFolder scratch;
    WriteTree(scratch);
    c.change(scratch);
    EXPECT_EQ(WalkAgainst(ListedTree(), scratch.Path(), 1) != 0, c.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Differences, FileIteratorDifferenceTest,
    testing::Values(
        DifferenceCase{"extra file at the root", [](const CScratchFolder& s) { s.Write("Thumbs.db", "x"); }, false},
        DifferenceCase{"extra file two levels down", [](const CScratchFolder& s) { s.Write("Data/Deep/e.bin", "x"); }, false},
        DifferenceCase{"extra empty folder", [](const CScratchFolder& s) { fs::create_directory(s.Path() + "Extra"); }, false},
        DifferenceCase{"missing file", [](const CScratchFolder& s) { fs::remove(s.Path() + "readme.txt"); }, false},
        DifferenceCase{"missing folder", [](const CScratchFolder& s) { fs::remove_all(fs::path(s.Path()) / "Data" / "Deep"); }, false},
        DifferenceCase{"size changed below", [](const CScratchFolder& s) { s.Write("Help/h1.htm", "<p>x"); }, false},
        DifferenceCase{"attributes changed", [](const CScratchFolder& s) { MakeReadOnly(s.Path() + "readme.txt"); }, false},
        DifferenceCase{"setup package replaced", [](const CScratchFolder& s) {
            fs::remove(s.Path() + "setup.msi");
            s.Write("SETUP.MSI", "a much larger package than listed");
            MakeReadOnly(s.Path() + "SETUP.MSI");
        }, true},
        DifferenceCase{"setup package below the root replaced by another size",
                       [](const CScratchFolder& s) { s.Write("Data/setup.msi", "other redist"); }, false},
        DifferenceCase{"read-only folder", [](const CScratchFolder& s) { MakeReadOnly(s.Path() + "Help"); }, true},
        DifferenceCase{"same file beside it under a name in other letter case",
                       [](const CScratchFolder& s) { s.Write("Help/H2.HTM", "<p></p>"); }, !hostHoldsCaseTwins}),
    CaseName());

TEST(FileIteratorTest, WithoutRecursionOnlyTheRootIsCompared)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    scratch.Write("Help/extra.htm", "x");
    EXPECT_TRUE(WalkAgainst(ListedTree(), scratch.Path(), 0));
    EXPECT_FALSE(WalkAgainst(ListedTree(), scratch.Path(), 1));
    scratch.Write("extra.txt", "x");
    EXPECT_FALSE(WalkAgainst(ListedTree(), scratch.Path(), 0));
}

TEST(FileIteratorTest, TheMaskLimitsFilesAndFolders)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    scratch.Write("notes.doc", "x");  // not matched by the mask, so not compared
    std::vector<ListedEntry> listed = {File("readme.txt", 6)};
    EXPECT_TRUE(WalkAgainst(listed, scratch.Path(), 1, "*.txt"));
    EXPECT_FALSE(WalkAgainst(listed, scratch.Path(), 1, "*.*"));
}

TEST(FileIteratorTest, MissingRootFolderFails)
{
    CScratchFolder scratch;
    EXPECT_FALSE(WalkAgainst({}, scratch.Path() + "absent\\", 1));
}

TEST(FileIteratorTest, CorruptListingFailsTheWalk)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    std::vector<uint8_t> listing = MakeListing(ListedTree());
    listing.resize(listing.size() - 1);
    CBytesReader reader(listing);
    CFindDataFromBin input(&reader);
    CFileIterator iterator;
    EXPECT_FALSE(iterator.Walk(&input, scratch.Path().c_str(), nullptr, 1));
}

// Only "no more files" ends a folder: a read error part-way through fails the
// walk in both modes, though every entry read so far was right.
TEST(FileIteratorTest, AReadErrorWhileListingAFolderFailsTheWalk)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    const std::string manifest = "\\readme.txt\t3905D7917F2B3429490B01CFB60D8F5B\r\n";
    auto walkBoth = [&](std::vector<BOOL>& results) {
        results.push_back(WalkAgainst(ListedTree(), scratch.Path(), 1));
        CBytesReader reader(std::vector<uint8_t>(manifest.begin(), manifest.end()));
        CFindDataFromMD5 input(&reader);
        CFileIterator iterator;
        results.push_back(iterator.Walk(&input, scratch.Path().c_str(), nullptr, 1));
    };
    std::vector<BOOL> intact;
    walkBoth(intact);
    EXPECT_EQ(intact, (std::vector<BOOL>{TRUE, TRUE}));
    std::vector<BOOL> broken;
    {
        CFindFailure failure(scratch.Path() + "Help\\", 1, ERROR_READ_FAULT);
        walkBoth(broken);
    }
    EXPECT_EQ(broken, (std::vector<BOOL>{FALSE, FALSE}));
}

// A per-entry input that records what the walker asks and where it stands.
class CRecordingInput : public CFindDataInput {
public:
    BOOL Begin(CFileIterator* walker) override
    {
        iterator = walker;
        ++begins;
        return acceptBegin;
    }
    void End() override { ++ends; }
    BOOL GetFolder(LONG, CFindDataArray&, CFindDataArray&) override
    {
        ++getFolders;
        return FALSE;
    }
    LONG SavePosition() override { return 0; }
    void RestorePosition(LONG) override {}
    BOOL CheckFolder(const WIN32_FIND_DATAA& entry) override { return Record("folder", entry); }
    BOOL CheckFile(const WIN32_FIND_DATAA& entry) override { return Record("file", entry); }
    BOOL IsPerEntry() override { return TRUE; }

    CFileIterator* iterator = nullptr;
    BOOL acceptBegin = TRUE;
    std::string rejectName;
    int begins = 0;
    int ends = 0;
    int getFolders = 0;
    std::vector<std::string> seen;  // "kind relative-path name | current folder"

private:
    BOOL Record(const char* kind, const WIN32_FIND_DATAA& entry)
    {
        seen.push_back(std::string(kind) + " " + iterator->GetRelativePath() + entry.cFileName + " | " +
                       iterator->GetCurrentFolder());
        return rejectName != entry.cFileName;
    }
};

TEST(FileIteratorTest, PerEntryInputIsAskedAboutEveryEntryWithItsFolder)
{
    CScratchFolder scratch;
    scratch.Write("a.txt", "a");
    scratch.Write("Sub/b.txt", "b");
    scratch.Write("Sub/Inner/c.txt", "c");
    CRecordingInput input;
    CFileIterator iterator;
    ASSERT_TRUE(iterator.Walk(&input, scratch.Path().c_str(), nullptr, 1));
    const std::string root = scratch.Path();
    EXPECT_EQ(input.seen, (std::vector<std::string>{
                              "folder \\Sub | " + root,
                              "file \\a.txt | " + root,
                              "folder \\Sub\\Inner | " + root + "Sub\\",
                              "file \\Sub\\b.txt | " + root + "Sub\\",
                              "file \\Sub\\Inner\\c.txt | " + root + "Sub\\Inner\\",
                          }));
    EXPECT_EQ(input.getFolders, 0);
    EXPECT_EQ(input.begins, 1);
    EXPECT_EQ(input.ends, 1);
}

TEST(FileIteratorTest, RejectedEntryEndsTheWalkAndEndIsStillCalled)
{
    CScratchFolder scratch;
    scratch.Write("a.txt", "a");
    scratch.Write("Sub/b.txt", "b");
    CRecordingInput input;
    input.rejectName = "a.txt";
    CFileIterator iterator;
    EXPECT_FALSE(iterator.Walk(&input, scratch.Path().c_str(), nullptr, 1));
    EXPECT_EQ(input.seen.size(), 2u);  // Sub, then a.txt; Sub is never entered
    EXPECT_EQ(input.ends, 1);
}

TEST(FileIteratorTest, RefusedBeginFailsWithoutEnd)
{
    CScratchFolder scratch;
    scratch.Write("a.txt", "a");
    CRecordingInput input;
    input.acceptBegin = FALSE;
    CFileIterator iterator;
    EXPECT_FALSE(iterator.Walk(&input, scratch.Path().c_str(), nullptr, 1));
    EXPECT_TRUE(input.seen.empty());
    EXPECT_EQ(input.ends, 0);
}

class CCollectingObserver : public CWalkObserver {
public:
    void OnDifference(Difference kind, const char* relativePath, const WIN32_FIND_DATAA* expected,
                      const WIN32_FIND_DATAA* found) override
    {
        static const char* const kinds[] = {"missing", "extra", "changed", "twin"};
        const WIN32_FIND_DATAA* entry = found != nullptr ? found : expected;
        lines.push_back(std::string(kinds[kind]) + " " + relativePath + entry->cFileName);
    }
    void OnTrouble(Trouble kind, const char* relativePath, const char* name) override
    {
        lines.push_back("trouble " + std::to_string(kind) + " " + relativePath + name);
    }
    BOOL StopAtFirst() override { return first; }

    BOOL first = FALSE;
    std::vector<std::string> lines;
};

TEST(FileIteratorTest, ObserverHearsEveryDifferenceOrOnlyTheFirst)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    fs::remove(scratch.Path() + "readme.txt");
    scratch.Write("Help/h1.htm", "<p>changed");
    scratch.Write("Data/Deep/new.bin", "x");
    fs::create_directory(scratch.Path() + "Extra");
    if (hostHoldsCaseTwins) {
        scratch.Write("Help/H2.HTM", "<p></p>");
    }

    CCollectingObserver every;
    EXPECT_FALSE(WalkAgainst(ListedTree(), scratch.Path(), 1, nullptr, &every));
    // Wine enumerates in the host's order, so the lines are compared as a set.
    std::sort(every.lines.begin(), every.lines.end());
    std::vector<std::string> told = {
        "changed \\Help\\h1.htm",
        "extra \\Data\\Deep\\new.bin",
        "extra \\Extra",
        "missing \\README.txt",
    };
    if (hostHoldsCaseTwins) {
        told.push_back("twin \\Help\\H2.HTM");
    }
    EXPECT_EQ(every.lines, told);

    CCollectingObserver first;
    first.first = TRUE;
    EXPECT_FALSE(WalkAgainst(ListedTree(), scratch.Path(), 1, nullptr, &first));
    EXPECT_EQ(first.lines, (std::vector<std::string>{"extra \\Extra"}));
}

#ifndef _WIN32
// Windows cannot create folders this deep without the long-path prefix; the
// port can, which lets the cut be tried.
TEST(FileIteratorTest, PathCutAt259CharactersIsNeverEnumerated)
{
    CScratchFolder scratch;
    std::string longName(200, 'f');
    // root + long + "\" + cut + "\" is 260 characters: cut to 259, it would
    // name the folder itself without its backslash, and a search for it would
    // report the folder as an entry of itself.
    std::string cut(MAX_PATH - scratch.Path().size() - longName.size() - 2, 'h');
    scratch.Write(longName + "/" + cut + "/x.txt", "x");
    CRecordingInput input;
    CFileIterator iterator;
    CCollectingObserver observer;
    observer.first = TRUE;
    iterator.SetObserver(&observer);
    EXPECT_FALSE(iterator.Walk(&input, scratch.Path().c_str(), nullptr, 1));
    EXPECT_EQ(input.seen.size(), 2u) << "only the long folder and the cut folder's own entry";
    ASSERT_EQ(observer.lines.size(), 1u);
    EXPECT_EQ(observer.lines[0], "trouble 3 \\" + longName + "\\" + cut);
}
#endif

}  // namespace
