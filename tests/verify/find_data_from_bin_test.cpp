#include "bytes_reader.h"
#include "listing_maker.h"

#include "base/module_instance.h"
#include "tests/support/case_name.h"
#include "verify/file_iterator.h"
#include "verify/find_data_from_bin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>

namespace {

std::vector<std::string> Names(const CFindDataArray& entries)
{
    std::vector<std::string> names;
    for (const WIN32_FIND_DATAA& entry : entries) {
        names.push_back(entry.cFileName);
    }
    return names;
}

// Root: folders A (with folder A1 holding x), B, C; file r. A has file a.
std::vector<ListedEntry> ThreeLevelTree()
{
    return {Folder("A", {Folder("A1", {File("x", 1)}), File("a", 2)}),
            Folder("B", {File("b1", 3), File("b2", 4)}),
            Folder("C", {}),
            File("r", 5)};
}

// Asks for every folder the way the walker does, in listing order; false at
// the first GetFolder that fails.
bool ReadWholeTree(CFindDataFromBin& input, LONG index = -1)
{
    CFindDataArray folders;
    CFindDataArray files;
    if (!input.GetFolder(index, folders, files)) {
        return false;
    }
    for (size_t k = 0; k < folders.size(); ++k) {
        LONG token = input.SavePosition();
        if (!ReadWholeTree(input, static_cast<LONG>(k))) {
            return false;
        }
        input.RestorePosition(token);
    }
    return true;
}

TEST(FindDataFromBinTest, DeliversTheRootAgainAfterOtherCalls)
{
    CBytesReader reader(MakeListing(ThreeLevelTree()));
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_EQ(Names(folders), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Names(files), (std::vector<std::string>{"r"}));
    EXPECT_EQ(files[0].nFileSizeLow, 5u);

    CFindDataArray subFolders;
    CFindDataArray subFiles;
    ASSERT_TRUE(input.GetFolder(1, subFolders, subFiles));
    folders.clear();
    files.clear();
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_EQ(Names(folders), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(FindDataFromBinTest, SiblingsInAnyOrderFromTheSamePosition)
{
    CBytesReader reader(MakeListing(ThreeLevelTree()));
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    LONG token = input.SavePosition();

    CFindDataArray cFolders;
    CFindDataArray cFiles;
    ASSERT_TRUE(input.GetFolder(2, cFolders, cFiles));
    EXPECT_TRUE(cFolders.empty());
    EXPECT_TRUE(cFiles.empty());  // a record with counts 0 and 0

    input.RestorePosition(token);
    CFindDataArray aFolders;
    CFindDataArray aFiles;
    ASSERT_TRUE(input.GetFolder(0, aFolders, aFiles));  // skips nothing, A comes first
    EXPECT_EQ(Names(aFolders), (std::vector<std::string>{"A1"}));
    EXPECT_EQ(Names(aFiles), (std::vector<std::string>{"a"}));

    input.RestorePosition(token);
    CFindDataArray bFolders;
    CFindDataArray bFiles;
    ASSERT_TRUE(input.GetFolder(1, bFolders, bFiles));  // skips A with its subtree
    EXPECT_EQ(Names(bFiles), (std::vector<std::string>{"b1", "b2"}));
}

TEST(FindDataFromBinTest, AnIndexNotAmongTheSiblingsFails)
{
    CBytesReader reader(MakeListing(ThreeLevelTree()));
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_FALSE(input.GetFolder(7, folders, files));
}

TEST(FindDataFromBinTest, EmptyReaderFailsForEveryIndex)
{
    CBytesReader reader({});
    CFindDataFromBin input(&reader);
    for (LONG index : {-1, 0, 1}) {
        CFindDataArray folders;
        CFindDataArray files;
        EXPECT_FALSE(input.GetFolder(index, folders, files)) << "index " << index;
    }
}

struct StructureCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;  // applied to ThreeLevelTree's listing
    ListingFault fault;
    size_t offset;  // where the fault lies
    bool fromEnd;   // offset counts back from the end of the damaged data
};

void PrintTo(const StructureCase& c, std::ostream* os)
{
    *os << c.name;
}

class ListingStructureTest : public testing::TestWithParam<StructureCase> {};

// Whatever the listing's own reading calls corrupt, the walk refuses before
// the disk is read, even where GetFolder alone could still serve the folders.
TEST_P(ListingStructureTest, BeginRefusesAListingThatIsNotWhole)
{
    const StructureCase& c = GetParam();
    std::vector<uint8_t> data = MakeListing(ThreeLevelTree());
    c.damage(data);
    CBytesReader reader(data);
    CFindDataFromBin input(&reader);
    CFileIterator iterator;
    EXPECT_EQ(input.Begin(&iterator) != FALSE, c.fault == listingWhole);
    EXPECT_EQ(input.Structure().fault, c.fault);
    EXPECT_EQ(input.Structure().offset, c.fromEnd ? data.size() - c.offset : c.offset);
    // The check leaves the reader where GetFolder expects it.
    EXPECT_EQ(reader.SeekFromCurrent(0), 0u);
}

void PutInt32(std::vector<uint8_t>& data, size_t offset, int32_t value)
{
    for (int i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    }
}

// The root record of ThreeLevelTree: 3 folders and 1 file, so A's record starts here.
const size_t firstSubfolder = 12 + 4 * 320;

INSTANTIATE_TEST_SUITE_P(
    Listings, ListingStructureTest,
    testing::Values(
        StructureCase{"whole", [](std::vector<uint8_t>&) {}, listingWhole, 0, true},
        StructureCase{"no data", [](std::vector<uint8_t>& d) { d.clear(); }, listingCutShort, 0, false},
        StructureCase{"cut in the last header", [](std::vector<uint8_t>& d) { d.pop_back(); },
                      listingCutShort, 11, true},
        StructureCase{"trailing byte", [](std::vector<uint8_t>& d) { d.push_back(0); }, listingTrailingData, 1, true},
        StructureCase{"root index other than -1", [](std::vector<uint8_t>& d) { PutInt32(d, 0, 0); },
                      listingWrongIndex, 0, false},
        StructureCase{"subfolder record out of place",
                      [](std::vector<uint8_t>& d) { PutInt32(d, firstSubfolder, 1); }, listingWrongIndex,
                      firstSubfolder, false},
        StructureCase{"negative count", [](std::vector<uint8_t>& d) { PutInt32(d, 8, -1); },
                      listingNegativeCount, 0, false},
        StructureCase{"name without terminator",
                      [](std::vector<uint8_t>& d) { std::memset(&d[12 + 44], 'n', 260); },
                      listingUnterminatedName, 12 + 44, false}),
    CaseName());

// Every cut of the listing, on a header or record boundary or inside one,
// makes the walk through the listing fail; only the whole listing passes.
TEST(FindDataFromBinTest, TruncatedListingFailsAtEveryLength)
{
    std::vector<uint8_t> whole = MakeListing(ThreeLevelTree());
    {
        CBytesReader reader(whole);
        CFindDataFromBin input(&reader);
        ASSERT_TRUE(ReadWholeTree(input));
    }
    for (size_t length = 0; length < whole.size(); ++length) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        CBytesReader reader(cut);
        CFindDataFromBin input(&reader);
        EXPECT_FALSE(ReadWholeTree(input)) << "listing cut to " << length << " of " << whole.size()
                                           << " bytes";
    }
}

TEST(FindDataFromBinTest, NegativeCountsFail)
{
    for (int which = 0; which < 2; ++which) {
        std::vector<uint8_t> data;
        AppendHeader(data, -1, which == 0 ? -1 : 0, which == 1 ? -1 : 0);
        CBytesReader reader(data);
        CFindDataFromBin input(&reader);
        CFindDataArray folders;
        CFindDataArray files;
        EXPECT_FALSE(input.GetFolder(-1, folders, files)) << (which == 0 ? "folder" : "file") << " count";
    }
}

TEST(FindDataFromBinTest, NegativeCountInASkippedSiblingFails)
{
    std::vector<uint8_t> data;
    AppendHeader(data, -1, 2, 0);
    AppendRecord(data, MakeRecord(Folder("A", {})));
    AppendRecord(data, MakeRecord(Folder("B", {})));
    AppendHeader(data, 0, -5, 0);
    AppendHeader(data, 1, 0, 0);
    CBytesReader reader(data);
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_FALSE(input.GetFolder(1, folders, files));
}

// A sibling claiming two billion subfolders must not make the skip spin or
// recurse: it ends when the data ends.
TEST(FindDataFromBinTest, HugeCountInASkippedSiblingEndsWithTheData)
{
    std::vector<uint8_t> data;
    AppendHeader(data, -1, 2, 0);
    AppendRecord(data, MakeRecord(Folder("A", {})));
    AppendRecord(data, MakeRecord(Folder("B", {})));
    AppendHeader(data, 0, 0x7FFFFFFF, 0);
    AppendHeader(data, 1, 0, 0);
    CBytesReader reader(data);
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_FALSE(input.GetFolder(1, folders, files));
}

// A chain nested far deeper than the stack would allow for one call per
// level (50,000 levels, about 16 MB): skipping it must loop, not recurse.
TEST(FindDataFromBinTest, DeepNestingIsSkippedWithoutRecursion)
{
    const int depth = 50000;
    std::vector<uint8_t> data;
    AppendHeader(data, -1, 2, 0);
    AppendRecord(data, MakeRecord(Folder("A", {})));
    AppendRecord(data, MakeRecord(Folder("B", {})));
    WIN32_FIND_DATAA nested = MakeRecord(Folder("d", {}));
    data.reserve(data.size() + (12u + 320u) * depth + 24);
    for (int level = 0; level < depth; ++level) {
        AppendHeader(data, 0, 1, 0);
        AppendRecord(data, nested);
    }
    AppendHeader(data, 0, 0, 0);
    AppendHeader(data, 1, 0, 1);
    AppendRecord(data, MakeRecord(File("found", 9)));
    CBytesReader reader(data);
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    CFindDataArray bFolders;
    CFindDataArray bFiles;
    ASSERT_TRUE(input.GetFolder(1, bFolders, bFiles));
    EXPECT_EQ(Names(bFiles), (std::vector<std::string>{"found"}));
}

TEST(FindDataFromBinTest, NameWithoutTerminatorFails)
{
    std::vector<uint8_t> data;
    AppendHeader(data, -1, 0, 1);
    WIN32_FIND_DATAA record = MakeRecord(File("f", 1));
    std::memset(record.cFileName, 'n', sizeof(record.cFileName));
    AppendRecord(data, record);
    CBytesReader reader(data);
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    EXPECT_FALSE(input.GetFolder(-1, folders, files));
}

TEST(FindDataFromBinTest, ClosesTheReaderWhenDestroyed)
{
    CBytesReader reader(MakeListing(ThreeLevelTree()));
    {
        CFindDataFromBin input(&reader);
        EXPECT_FALSE(input.IsPerEntry());
    }
    EXPECT_FALSE(reader.IsValid());
}

// The listing embedded in the library: the shape of the sample disc.
TEST(FindDataFromBinTest, EmbeddedListingHasTheSampleDiscShape)
{
    CMemReader reader(GetModuleHandleA(nullptr), 101);
    ASSERT_TRUE(reader.IsValid());
    EXPECT_EQ(reader.SeekFromEnd(0), 44328u);
    reader.SeekFromStart(0);
    CFindDataFromBin input(&reader);
    CFindDataArray folders;
    CFindDataArray files;
    ASSERT_TRUE(input.GetFolder(-1, folders, files));
    EXPECT_EQ(folders.size(), 4u);
    EXPECT_EQ(files.size(), 14u);
    EXPECT_EQ(input.SavePosition(), 5772);
    CFindDataArray firstFolders;
    CFindDataArray firstFiles;
    ASSERT_TRUE(input.GetFolder(0, firstFolders, firstFiles));
    EXPECT_EQ(firstFolders.size(), 0u);
    EXPECT_EQ(firstFiles.size(), 18u);
    for (const WIN32_FIND_DATAA& file : firstFiles) {
        EXPECT_EQ(file.dwFileAttributes, 0x21u) << file.cFileName;
    }
}

}  // namespace
