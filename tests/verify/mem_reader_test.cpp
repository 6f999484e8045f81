#include "verify/mem_reader.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Resources embedded in this test program.
const DWORD twoLinesResource = 201;  // "AB\r\n\r\nCD"
const DWORD emptyResource = 202;
const DWORD wrongTypeResource = 203;  // same bytes, type "TXT"
const DWORD absentResource = 299;

// A reader over given bytes, filled through SetData.
class CMemReaderOver : public CMemReader {
public:
    explicit CMemReaderOver(const std::string& data) : CMemReader(static_cast<LPCSTR>(nullptr))
    {
        SetData(data.data(), static_cast<DWORD>(data.size()));
    }
};

std::string ReadAll(CMemReader& reader)
{
    std::string all;
    char chunk[3];
    DWORD got;
    while ((got = reader.Read(chunk, sizeof(chunk))) != 0) {
        all.append(chunk, got);
    }
    return all;
}

void ExpectEmpty(CMemReader& reader, const std::string& what)
{
    char buffer[16] = "untouched";
    EXPECT_EQ(FALSE, reader.IsValid()) << what;
    EXPECT_EQ(0u, reader.Read(buffer, sizeof(buffer))) << what;
    EXPECT_EQ(0, reader.ReadLine(buffer, 10)) << what;
    EXPECT_EQ(0u, reader.SeekFromStart(3)) << what;
    EXPECT_EQ(0u, reader.SeekFromEnd(3)) << what;
    EXPECT_EQ(0u, reader.SeekFromCurrent(3)) << what;
}

TEST(MemReaderTest, SourcesThatGiveNoDataLeaveAnEmptyReader)
{
    CScratchFolder scratch;
    std::string emptyFile = scratch.Write("empty.txt", "");
    HMODULE self = GetModuleHandleA(nullptr);
    struct {
        const char* what;
        CMemReader reader;
    } cases[] = {
        {"missing file", CMemReader((scratch.Path() + "absent.bin").c_str())},
        {"folder instead of file", CMemReader(scratch.Path().c_str())},
        {"empty file", CMemReader(emptyFile.c_str())},
        {"missing resource", CMemReader(self, absentResource)},
        {"empty resource", CMemReader(self, emptyResource)},
        {"resource of another type", CMemReader(self, wrongTypeResource)},
    };
    for (auto& c : cases) {
        ExpectEmpty(c.reader, c.what);
    }
}

TEST(MemReaderTest, ReadsAWholeFileAndAResourceAlike)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("lines.bin", std::string("AB\r\n\r\nCD"));
    CMemReader fromFile(path.c_str());
    CMemReader fromResource(GetModuleHandleA(nullptr), twoLinesResource);
    EXPECT_EQ(TRUE, fromFile.IsValid());
    EXPECT_EQ(TRUE, fromResource.IsValid());
    EXPECT_EQ("AB\r\n\r\nCD", ReadAll(fromFile));
    EXPECT_EQ("AB\r\n\r\nCD", ReadAll(fromResource));
}

TEST(MemReaderTest, AViewReadsTheCallersBytesWhereTheyLie)
{
    char bytes[] = "0123456789";
    CMemReader reader(static_cast<LPCSTR>(nullptr));
    reader.ViewData(bytes, 10);
    bytes[0] = 'x';
    EXPECT_EQ("x123456789", ReadAll(reader)) << "read where they lie, not copied";
    // The bytes stay the caller's: closing frees nothing (the sanitizers tell).
    reader.Close();
    ExpectEmpty(reader, "closed view");
    EXPECT_STREQ("x123456789", bytes);
    reader.ViewData(nullptr, 10);
    ExpectEmpty(reader, "view of nothing");
}

TEST(MemReaderTest, ResourceIdUsesOnlyItsLow16Bits)
{
    CMemReader reader(GetModuleHandleA(nullptr), 0x10000 | twoLinesResource);
    EXPECT_EQ(TRUE, reader.IsValid());
}

TEST(MemReaderTest, ReadDeliversOnlyWhatRemains)
{
    CMemReaderOver reader("0123456789");
    char buffer[16] = {};
    EXPECT_EQ(4u, reader.Read(buffer, 4));
    EXPECT_EQ(6u, reader.Read(buffer, 16));
    EXPECT_EQ("456789", std::string(buffer, 6));
    EXPECT_EQ(0u, reader.Read(buffer, 16));
}

TEST(MemReaderTest, ReadLineSwallowsRunsOfLineEnds)
{
    CMemReader reader(GetModuleHandleA(nullptr), twoLinesResource);
    char line[11];
    EXPECT_EQ(2, reader.ReadLine(line, 10));
    EXPECT_STREQ("AB", line);
    EXPECT_EQ(2, reader.ReadLine(line, 10));
    EXPECT_STREQ("CD", line);
    EXPECT_EQ(0, reader.ReadLine(line, 10));
    EXPECT_EQ(8u, reader.SeekFromCurrent(0)) << "the end does not move";
}

TEST(MemReaderTest, ReadLineAtTheLimit)
{
    struct {
        const char* data;
        DWORD maxLength;
        LONG result;
        const char* line;
    } cases[] = {
        {"abcde\nz", 5, 5, "abcde"},
        {"abcdef\nz", 5, -1, nullptr},
        {"abcdef", 5, -1, nullptr},
        {"abcde", 5, 5, "abcde"},
        {"", 5, 0, nullptr},
        {"\n\r\nfirst", 5, 0, nullptr},
        {"x\n", 0, -1, nullptr},
    };
    for (const auto& c : cases) {
        CMemReaderOver reader(c.data);
        std::vector<char> buffer(c.maxLength + 2, '#');
        EXPECT_EQ(c.result, reader.ReadLine(buffer.data(), c.maxLength)) << c.data;
        if (c.line != nullptr) {
            EXPECT_STREQ(c.line, buffer.data()) << c.data;
            EXPECT_EQ('\0', buffer[c.maxLength]) << c.data << ": terminator at maxLength";
        }
        if (c.result == -1) {
            EXPECT_EQ(0u, reader.SeekFromCurrent(0)) << c.data << ": a refused line is not skipped";
            EXPECT_EQ(-1, reader.ReadLine(buffer.data(), c.maxLength)) << c.data;
        }
    }
}

TEST(MemReaderTest, LeadingLineBreakGivesZeroThenTheFirstLine)
{
    CMemReaderOver reader("\nfirst\rsecond");
    char line[32];
    EXPECT_EQ(0, reader.ReadLine(line, 31));
    EXPECT_EQ(5, reader.ReadLine(line, 31));
    EXPECT_STREQ("first", line);
    EXPECT_EQ(6, reader.ReadLine(line, 31));
    EXPECT_STREQ("second", line);
    EXPECT_EQ(0, reader.ReadLine(line, 31));
}

TEST(MemReaderTest, ReadLineKeepsEveryOtherCharacter)
{
    CMemReaderOver reader("\xEF\xBB\xBF a\tb \r\n");
    char line[32];
    EXPECT_EQ(8, reader.ReadLine(line, 31));
    EXPECT_EQ(std::string("\xEF\xBB\xBF a\tb "), line);
}

TEST(MemReaderTest, ReadLineWithoutBufferGivesZero)
{
    CMemReaderOver reader("line\n");
    EXPECT_EQ(0, reader.ReadLine(nullptr, 10));
    EXPECT_EQ(0u, reader.SeekFromCurrent(0));
}

TEST(MemReaderTest, SeeksClampToTheData)
{
    struct {
        const char* what;
        DWORD (CMemReader::*seek)(DWORD);
        DWORD startAt;
        DWORD offset;
        DWORD result;
        DWORD positionAfter;
    } cases[] = {
        {"start beyond size", &CMemReader::SeekFromStart, 4, 50, 10, 10},
        {"start to 0", &CMemReader::SeekFromStart, 4, 0, 0, 0},
        {"start inside", &CMemReader::SeekFromStart, 0, 6, 6, 6},
        {"end 3", &CMemReader::SeekFromEnd, 0, 3, 3, 7},
        {"end 0 does not move", &CMemReader::SeekFromEnd, 4, 0, 6, 4},
        {"end beyond size", &CMemReader::SeekFromEnd, 4, 50, 10, 0},
        {"current beyond end", &CMemReader::SeekFromCurrent, 4, 50, 10, 10},
        {"current 0", &CMemReader::SeekFromCurrent, 4, 0, 4, 4},
        {"current inside", &CMemReader::SeekFromCurrent, 4, 3, 7, 7},
    };
    for (const auto& c : cases) {
        CMemReaderOver reader("0123456789");
        reader.SeekFromStart(c.startAt);
        EXPECT_EQ(c.result, (reader.*c.seek)(c.offset)) << c.what;
        EXPECT_EQ(c.positionAfter, reader.SeekFromCurrent(0)) << c.what;
    }
}

TEST(MemReaderTest, CloseEmptiesTheReaderAndMayBeRepeated)
{
    CMemReaderOver reader("data");
    reader.Close();
    ExpectEmpty(reader, "after Close");
    reader.Close();
    ExpectEmpty(reader, "after a second Close");
}

TEST(MemReaderTest, SetDataWithoutSourceGivesZeros)
{
    CMemReaderOver reader("xyz");
    reader.SetData(nullptr, 4);
    EXPECT_EQ(std::string(4, '\0'), ReadAll(reader));
}

}  // namespace
