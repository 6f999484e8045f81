// The manifest input: how rows load from the text, and how each file found
// by the walker is judged against them.
#include "bytes_reader.h"

#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"
#include "verify/file_iterator.h"
#include "verify/find_data_from_md5.h"
#include "verify/md5_digest.h"
#include "verify/walk_observer.h"

#ifndef _WIN32
#include <port/host.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

typedef std::vector<std::pair<std::string, std::string>> Rows;

const std::string md5Empty = "D41D8CD98F00B204E9800998ECF8427E";
const std::string md5A = "0CC175B9C0F1B6A831C399E269772661";
const std::string md5Abc = "900150983CD24FB0D6963F7D28E17F72";
const std::string md5MessageDigest = "F96B697D7CB7938D525A2F31AAF161D0";

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

Rows RowsOf(const CFindDataFromMD5& input)
{
    Rows rows;
    for (DWORD row = 0; row < input.RowCount(); ++row) {
        rows.emplace_back(input.Item(row).path, input.Item(row).md5);
    }
    return rows;
}

struct LoadCase {
    const char* name;
    std::string manifest;
    Rows rows;
    CFindDataFromMD5::Fault fault;
};

void PrintTo(const LoadCase& c, std::ostream* os)
{
    *os << c.name;
}

class ManifestLoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(ManifestLoadTest, LoadsTheRowsOfTheText)
{
    const LoadCase& c = GetParam();
    CBytesReader reader(Bytes(c.manifest));
    CFindDataFromMD5 input(&reader);
    EXPECT_EQ(RowsOf(input), c.rows);
    EXPECT_EQ(input.LoadFault(), c.fault);
    // Loading empties the reader.
    EXPECT_FALSE(reader.IsValid());
    CFileIterator iterator;
    EXPECT_EQ(input.Begin(&iterator) != FALSE, c.fault == CFindDataFromMD5::whole);
}

const auto whole = CFindDataFromMD5::whole;

const std::string longPath = "\\" + std::string(300, 'p');
const std::string lineOf2047 = "\\a.txt\t" + md5A + "\t" + std::string(2047 - 40, 'n');

// A manifest that guards nothing, or with a line the mastering tool never
// writes, fails every walk: files it was meant to guard would pass unread.
INSTANTIATE_TEST_SUITE_P(
    Texts, ManifestLoadTest,
    testing::Values(
        LoadCase{"CR LF", "\\a.txt\t" + md5A + "\r\n\\Help\\b.htm\t" + md5Abc + "\r\n",
                 {{"\\a.txt", md5A}, {"\\Help\\b.htm", md5Abc}}, whole},
        LoadCase{"lone LF", "\\a.txt\t" + md5A + "\n\\b.txt\t" + md5Abc + "\n",
                 {{"\\a.txt", md5A}, {"\\b.txt", md5Abc}}, whole},
        LoadCase{"lone CR", "\\a.txt\t" + md5A + "\r\\b.txt\t" + md5Abc + "\r",
                 {{"\\a.txt", md5A}, {"\\b.txt", md5Abc}}, whole},
        LoadCase{"blank lines between", "\\a.txt\t" + md5A + "\r\n\r\n\n\r\t\r\n\\b.txt\t" + md5Abc,
                 {{"\\a.txt", md5A}, {"\\b.txt", md5Abc}}, whole},
        LoadCase{"leading line breaks", "\r\n\n\\a.txt\t" + md5A + "\r\n", {{"\\a.txt", md5A}}, whole},
        LoadCase{"two tabs", "\\a.txt\t\t" + md5A + "\r\n", {{"\\a.txt", md5A}}, whole},
        LoadCase{"tab before the path", "\t\\a.txt\t" + md5A + "\r\n", {{"\\a.txt", md5A}}, whole},
        LoadCase{"third field", "\\a.txt\t" + md5A + "\tsize=1\r\n", {{"\\a.txt", md5A}}, whole},
        LoadCase{"spaces belong to the path", "\\My Files\\a b.txt \t" + md5A + "\r\n",
                 {{"\\My Files\\a b.txt ", md5A}}, whole},
        LoadCase{"line of 2047 characters", lineOf2047 + "\r\n", {{"\\a.txt", md5A}}, whole},
        LoadCase{"only line breaks", "\r\n\r\n", {}, CFindDataFromMD5::noRows},
        LoadCase{"UTF-8 byte-order mark", "\xEF\xBB\xBF\\a.txt\t" + md5A + "\r\n", {},
                 CFindDataFromMD5::byteOrderMark},
        LoadCase{"UTF-16 without a mark", std::string("\\\0a\0.\0t\0x\0t\0\t\0", 14) + md5A + "\r\n", {},
                 CFindDataFromMD5::notARow},
        LoadCase{"path without digest", "\\b.txt\t" + md5Abc + "\r\n\\a.txt\r\n",
                 {{"\\b.txt", md5Abc}}, CFindDataFromMD5::notARow},
        LoadCase{"path in another form", "Help/b.htm\t" + md5Abc + "\r\n", {}, CFindDataFromMD5::notARow},
        LoadCase{"path longer than 259", longPath + "\t" + md5A + "\r\n", {}, CFindDataFromMD5::notARow},
        LoadCase{"digest not 32 upper-case hex digits", "\\a.txt\t" + md5A + "FF\r\n", {},
                 CFindDataFromMD5::notARow},
        LoadCase{"line of 2048 characters ends loading",
                 "\\a.txt\t" + md5A + "\r\n" + lineOf2047 + "x\r\n\\b.txt\t" + md5Abc + "\r\n",
                 {{"\\a.txt", md5A}}, CFindDataFromMD5::lineTooLong}),
    CaseName());

TEST(ManifestLoadTest, NoReaderOrAnEmptyOneGivesNoRows)
{
    CFindDataFromMD5 none(nullptr);
    EXPECT_EQ(none.RowCount(), 0u);
    CBytesReader empty(std::vector<uint8_t>{});
    CFindDataFromMD5 fromEmpty(&empty);
    EXPECT_EQ(fromEmpty.RowCount(), 0u);
}

// The first row whose path compares equal, found the plain way.
LONG FindByScan(const Rows& rows, const std::string& path)
{
    for (size_t row = 0; row < rows.size(); ++row) {
        if (CompareNames(rows[row].first.c_str(), path.c_str()) == 0) {
            return static_cast<LONG>(row);
        }
    }
    return -1;
}

// Generated manifests full of paths that differ only in letter case, repeated
// paths and names outside ASCII in the code page the names are in: the index
// answers every lookup as a scan of the rows in manifest order does.
TEST(ManifestLookupTest, IndexFindsTheRowAScanFinds)
{
#ifdef _WIN32
    const char* const upperA = "\xC4";  // in code page 1252
    const char* const lowerA = "\xE4";
#else
    const char* const upperA = "\xC3\x84";  // in UTF-8, as the port names files
    const char* const lowerA = "\xC3\xA4";
#endif
    const std::vector<std::string> folders = {"", "\\Data", "\\DATA", "\\data", "\\Help", "\\Help\\Deep",
                                              std::string("\\") + upperA + "rger", std::string("\\") + lowerA + "RGER"};
    const std::vector<std::string> names = {"a.txt", "A.TXT", "b.txt", "a_b.txt", "A-B.txt", "ab.txt",
                                            std::string(upperA) + ".bin", std::string(lowerA) + ".BIN"};
    const std::vector<std::string> digests = {md5Empty, md5A, md5Abc, md5MessageDigest};
    uint32_t state = 2463534242u;
    auto next = [&state](size_t bound) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<size_t>(state % bound);
    };
    for (int manifestNumber = 0; manifestNumber < 300; ++manifestNumber) {
        Rows rows(1 + next(40));
        for (auto& row : rows) {
            row = {folders[next(folders.size())] + "\\" + names[next(names.size())], digests[next(digests.size())]};
        }
        // Some already in path order, which the index only checks.
        if (manifestNumber % 4 == 0) {
            std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
                return CompareNames(a.first.c_str(), b.first.c_str()) < 0;
            });
        }
        std::string text;
        for (const auto& row : rows) {
            text += row.first + "\t" + row.second + "\r\n";
        }
        CBytesReader reader(Bytes(text));
        CFindDataFromMD5 input(&reader);
        ASSERT_EQ(input.LoadFault(), whole) << "manifest " << manifestNumber << ":\n" << text;
        ASSERT_EQ(RowsOf(input), rows) << "manifest " << manifestNumber;
        for (const std::string& folder : folders) {
            for (const std::string& name : names) {
                std::string path = folder + "\\" + name;
                EXPECT_EQ(input.Find(path.c_str()), FindByScan(rows, path))
                    << "manifest " << manifestNumber << ", " << path << ":\n" << text;
            }
        }
    }
}

TEST(ManifestInputTest, AnswersAsAPerEntryInput)
{
    CFindDataFromMD5 input(nullptr);
    EXPECT_TRUE(input.IsPerEntry());
    WIN32_FIND_DATAA entry = {};
    entry.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_TRUE(input.CheckFolder(entry));
    // Outside a walk there is no folder to find a file in.
    entry.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_FALSE(input.CheckFile(entry));
    CFindDataArray folders;
    CFindDataArray files;
    EXPECT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_TRUE(folders.empty() && files.empty());
}

// On disk: readme.txt ("abc"), empty.txt, Help/index.htm ("a"),
// Data/setup.msi ("abc") and Data/Deep/d.bin ("message digest").
void WriteTree(const CScratchFolder& scratch)
{
    scratch.Write("readme.txt", "abc");
    scratch.Write("empty.txt", "");
    scratch.Write("Help/index.htm", "a");
    scratch.Write("Data/setup.msi", "abc");
    scratch.Write("Data/Deep/d.bin", "message digest");
}

BOOL WalkWithManifest(const std::string& manifest, const std::string& folder)
{
    CBytesReader reader(Bytes(manifest));
    CFindDataFromMD5 input(&reader);
    CFileIterator iterator;
    return iterator.Walk(&input, folder.c_str(), "*.*", 1);
}

struct WalkCase {
    const char* name;
    std::string manifest;
    bool passes;
};

void PrintTo(const WalkCase& c, std::ostream* os)
{
    *os << c.name;
}

class ManifestWalkTest : public testing::TestWithParam<WalkCase> {};

TEST_P(ManifestWalkTest, ListedFilesMustHaveTheirDigest)
{
    const WalkCase& c = GetParam();
    CScratchFolder scratch;
    WriteTree(scratch);
    EXPECT_EQ(WalkWithManifest(c.manifest, scratch.Path()) != FALSE, c.passes);
}

std::string Row(const std::string& path, const std::string& md5)
{
    return path + "\t" + md5 + "\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Manifests, ManifestWalkTest,
    testing::Values(
        WalkCase{"every file right", Row("\\readme.txt", md5Abc) + Row("\\empty.txt", md5Empty) +
                                         Row("\\Help\\index.htm", md5A) +
                                         Row("\\Data\\Deep\\d.bin", md5MessageDigest), true},
        WalkCase{"nothing listed", "", false},
        WalkCase{"root file wrong", Row("\\readme.txt", md5A), false},
        WalkCase{"root file in other letter case is looked up", Row("\\README.TXT", md5A), false},
        WalkCase{"folder in other letter case is looked up", Row("\\HELP\\index.htm", md5Abc), false},
        WalkCase{"one folder down wrong", Row("\\Help\\index.htm", md5Abc), false},
        WalkCase{"one folder down without the leading backslash",
                 Row("Help\\index.htm", md5Abc), false},
        WalkCase{"two folders down right", Row("\\Data\\Deep\\d.bin", md5MessageDigest), true},
        WalkCase{"two folders down wrong", Row("\\Data\\Deep\\d.bin", md5A), false},
        WalkCase{"setup.msi below the root changed", Row("\\Data\\setup.msi", md5A), false},
        WalkCase{"duplicate rows, first right", Row("\\readme.txt", md5Abc) + Row("\\readme.txt", md5A), true},
        WalkCase{"duplicate rows, first wrong", Row("\\readme.txt", md5A) + Row("\\readme.txt", md5Abc), false},
        WalkCase{"lower-case digest", Row("\\readme.txt", "900150983cd24fb0d6963f7d28e17f72"), false},
        WalkCase{"empty file with the digest of empty content", Row("\\empty.txt", md5Empty), true},
        WalkCase{"empty file with another digest", Row("\\empty.txt", md5A), false},
        WalkCase{"listed file not on disk", Row("\\Help\\absent.htm", md5A), true},
        WalkCase{"folder listed as a file", Row("\\Help", md5A), true},
        WalkCase{"leading line break", "\r\n" + Row("\\readme.txt", md5A), false},
        WalkCase{"over-long line after right rows",
                 Row("\\readme.txt", md5Abc) + std::string(2048, 'x') + "\r\n", false}),
    CaseName());

TEST(ManifestWalkTest, FileHeldOpenForWritingIsRejected)
{
    CScratchFolder scratch;
    WriteTree(scratch);
    std::string path = scratch.Path() + "readme.txt";
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WalkWithManifest(Row("\\readme.txt", md5Abc), scratch.Path()));
    // A file the manifest does not list is never opened, so a writer does not matter.
    EXPECT_TRUE(WalkWithManifest(Row("\\empty.txt", md5Empty), scratch.Path()));
    CloseHandle(writer);
    EXPECT_TRUE(WalkWithManifest(Row("\\readme.txt", md5Abc), scratch.Path()));
}

// A file whose full path would be cut at 259 characters is rejected, listed or
// not; one character less and it is digested as usual.
TEST(ManifestWalkTest, PathCutAt259CharactersIsRejected)
{
    CScratchFolder scratch;
    size_t room = MAX_PATH - 1 - scratch.Path().size();
    std::string fits(room, 'f');
    scratch.Write(fits, "abc");
    EXPECT_TRUE(WalkWithManifest(Row("\\" + fits, md5Abc), scratch.Path()));
    EXPECT_FALSE(WalkWithManifest(Row("\\" + fits, md5A), scratch.Path()));

    CScratchFolder longer;
    std::string cut(MAX_PATH - longer.Path().size(), 'c');
    longer.Write(cut, "abc");
    EXPECT_FALSE(WalkWithManifest(Row("\\" + cut, md5Abc), longer.Path()));
    EXPECT_FALSE(WalkWithManifest("", longer.Path()));
}

#ifndef _WIN32
std::string HexOfContent(const std::string& content)
{
    const BYTE* digest = GetMD5(content.data(), static_cast<DWORD>(content.size()));
    std::string text;
    for (DWORD i = 0; i < md5DigestSize; ++i) {
        text += HexDigit(digest[i] >> 4);
        text += HexDigit(digest[i]);
    }
    return text;
}

// Every difference a walk reports, in order, as "path|name|found digest".
class CDifferenceLog : public CWalkObserver {
public:
    explicit CDifferenceLog(const CFindDataFromMD5& manifest, bool first) : input(manifest), stopAtFirst(first) {}
    void OnDifference(Difference, const char* relativePath, const WIN32_FIND_DATAA*, const WIN32_FIND_DATAA* found) override
    {
        const char* digest = input.LastDigest();
        lines.push_back(std::string(relativePath) + (found != nullptr ? found->cFileName : "") + "|" +
                        (digest != nullptr ? digest : "none"));
    }
    void OnTrouble(Trouble kind, const char* relativePath, const char*) override
    {
        lines.push_back("trouble " + std::to_string(kind) + " " + relativePath);
    }
    BOOL StopAtFirst() override { return stopAtFirst ? TRUE : FALSE; }

    std::vector<std::string> lines;

private:
    const CFindDataFromMD5& input;
    bool stopAtFirst;
};

// A walk that reports every difference tells each wrong or unreadable listed
// file and a folder that breaks off, in walk order; one that stops at the
// first tells one.
TEST(ManifestWalkTest, ReportsEveryDifferenceInWalkOrder)
{
    CScratchFolder scratch;
    std::string manifest;
    for (int folder = 0; folder < 3; ++folder) {
        for (int file = 0; file < 40; ++file) {
            std::string name = "F" + std::to_string(folder) + "/f" + std::to_string(file) + ".bin";
            std::string content(static_cast<size_t>(file * 37 % 300), static_cast<char>('a' + file % 26));
            if (file % 9 != 4) {  // every ninth file is not on disk
                scratch.Write(name, content);
            }
            bool wrong = (file + folder) % 7 == 3;
            std::string path = "\\" + name;
            std::replace(path.begin(), path.end(), '/', '\\');
            manifest += Row(path, wrong ? md5A : HexOfContent(content));
        }
    }
    scratch.Write("F1/unlisted.txt", "x");
    scratch.Write("F1/Deep/d.bin", "message digest");
    manifest += Row("\\F1\\Deep\\d.bin", md5A);
    for (bool first : {false, true}) {
        PortSetDrive('Q', DRIVE_CDROM, scratch.Path());
        PortSetFindFailure("Q:\\F2\\", 5, ERROR_READ_FAULT);
        CBytesReader reader(Bytes(manifest));
        CFindDataFromMD5 input(&reader);
        CDifferenceLog log(input, first);
        CFileIterator iterator;
        iterator.SetObserver(&log);
        EXPECT_FALSE(iterator.Walk(&input, "Q:\\", "*.*", 1));
        PortSetDrive('Q', 0, "");
        PortSetFindFailure("", 0, 0);
        ASSERT_EQ(log.lines.size(), first ? 1u : 13u) << (first ? "stopping at the first" : "every difference");
        if (!first) {
            EXPECT_EQ(log.lines[11], "\\F1\\Deep\\d.bin|" + HexOfContent("message digest"));
            EXPECT_EQ(log.lines[12], "trouble " + std::to_string(CWalkObserver::folderUnreadable) + " \\F2\\");
        }
    }
}
#endif

}  // namespace
