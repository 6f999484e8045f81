// The installer's database functions on a package that wixl made: a Binary
// row whose stream holds the bytes of a known file.
#include "tests/support/case_name.h"

#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char sentinel = '#';
const char binaryQuery[] = "SELECT `Name`, `Data` FROM `Binary`";

std::string FileBytes(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The Binary table's one row, fetched from an executed view.
class BinaryRow {
public:
    BinaryRow()
    {
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiOpenDatabaseA(PROBE_PACKAGE, MSIDBOPEN_READONLY, &database));
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiDatabaseOpenViewA(database, binaryQuery, &view));
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiViewExecute(view, 0));
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiViewFetch(view, &record));
    }

    PMSIHANDLE database;
    PMSIHANDLE view;
    PMSIHANDLE record;
};

struct TextCase {
    const char* name;
    DWORD capacity;
    UINT result;
    std::string text;
};

void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.name;
}

class RecordTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(RecordTextTest, FollowsTheInstallerBufferRules)
{
    const TextCase& c = GetParam();
    BinaryRow row;
    std::vector<char> buffer(c.capacity + 4, sentinel);
    DWORD size = c.capacity;

    EXPECT_EQ(c.result, MsiRecordGetStringA(row.record, 1, buffer.data(), &size)) << c.name;
    EXPECT_EQ(10u, size) << c.name << ": the size reports the text's length";
    EXPECT_EQ(c.text, std::string(buffer.data())) << c.name;
    for (size_t i = c.capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(sentinel, buffer[i]) << c.name << ": byte " << i << " past the capacity";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordTextTest,
                         testing::Values(TextCase{"one over", 12, ERROR_SUCCESS, "VesmarkDll"},
                                         TextCase{"exact fit", 11, ERROR_SUCCESS, "VesmarkDll"},
                                         TextCase{"one short", 10, ERROR_MORE_DATA, "VesmarkDl"}),
                         CaseName());

// Read in pieces of every size the table gives, the stream comes out whole:
// each read continues where the last one stopped, and the end reads 0 bytes.
class StreamReadTest : public testing::TestWithParam<DWORD> {};

TEST_P(StreamReadTest, ReadsInPiecesGiveTheWholeStream)
{
    std::string expected = FileBytes(PROBE_STREAM);
    ASSERT_FALSE(expected.empty());
    BinaryRow row;
    DWORD left = 0;
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiRecordReadStream(row.record, 2, nullptr, &left));
    EXPECT_EQ(expected.size(), left) << "without a buffer: the bytes left to read";

    std::string read;
    std::vector<char> piece(GetParam() + 1, sentinel);
    for (;;) {
        DWORD size = GetParam();
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiRecordReadStream(row.record, 2, piece.data(), &size));
        ASSERT_LE(size, GetParam());
        EXPECT_EQ(sentinel, piece[GetParam()]) << "a byte past the buffer was written";
        if (size == 0) {
            break;
        }
        read.append(piece.data(), size);
    }
    EXPECT_EQ(expected.size(), read.size());
    EXPECT_TRUE(expected == read) << "the pieces differ from the file";
}

INSTANTIATE_TEST_SUITE_P(Sizes, StreamReadTest, testing::Values(1000u, 44328u, 65536u));

TEST(PackageDatabaseTest, FieldsOfTheWrongKindAreRefused)
{
    BinaryRow row;
    char buffer[16];
    DWORD size = sizeof buffer;
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_DATATYPE), MsiRecordReadStream(row.record, 1, buffer, &size));
    size = sizeof buffer;
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), MsiRecordReadStream(row.record, 3, buffer, &size));
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), MsiRecordReadStream(row.record, 2, buffer, nullptr));
}

TEST(PackageDatabaseTest, ViewsAnswerAsTheInstallerDoes)
{
    PMSIHANDLE database;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiOpenDatabaseA(PROBE_PACKAGE, MSIDBOPEN_READONLY, &database));
    PMSIHANDLE view;
    EXPECT_EQ(static_cast<UINT>(ERROR_BAD_QUERY_SYNTAX), MsiDatabaseOpenViewA(database, "SELEC `Name`", &view));
    EXPECT_EQ(static_cast<UINT>(ERROR_BAD_QUERY_SYNTAX),
              MsiDatabaseOpenViewA(database, "SELECT `Name` FROM `NoSuchTable`", &view));
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiDatabaseOpenViewA(database, binaryQuery, &view));
    PMSIHANDLE record;
    EXPECT_EQ(static_cast<UINT>(ERROR_FUNCTION_FAILED), MsiViewFetch(view, &record)) << "fetched before execute";
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiViewExecute(view, 0));
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiViewFetch(view, &record));
    EXPECT_EQ(static_cast<UINT>(ERROR_NO_MORE_ITEMS), MsiViewFetch(view, &record)) << "past the one row";
}

TEST(PackageDatabaseTest, HandlesCloseOnceAndNotAsAnotherKind)
{
    MSIHANDLE database = 0;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiOpenDatabaseA(PROBE_PACKAGE, MSIDBOPEN_READONLY, &database));
    MSIHANDLE view = 0;
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), MsiViewExecute(database, 0)) << "a database is no view";
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiDatabaseOpenViewA(database, binaryQuery, &view));
    // The view keeps what it reads after its database is closed.
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiCloseHandle(database));
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), MsiCloseHandle(database));
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiViewExecute(view, 0));
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiCloseHandle(view));
}

TEST(PackageDatabaseTest, WhatIsNoDatabaseDoesNotOpen)
{
    MSIHANDLE database = 0;
    EXPECT_EQ(static_cast<UINT>(ERROR_OPEN_FAILED), MsiOpenDatabaseA(PROBE_STREAM, MSIDBOPEN_READONLY, &database));
    EXPECT_EQ(0u, database);
}

}  // namespace
