// Opening one file twice in one process: Windows checks each opener's access
// against the others' sharing. Also positions, writes past the end and moves
// the end.
#include <windows.h>

#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

namespace {

const DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
const DWORD shareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct ShareCase {
    const char* name;
    DWORD firstAccess, firstShare;
    DWORD secondAccess, secondShare;
    bool secondOpens;
};

void PrintTo(const ShareCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileShareTest : public testing::TestWithParam<ShareCase> {};

TEST_P(FileShareTest, SecondOpenerIsCheckedAgainstTheFirst)
{
    const ShareCase& c = GetParam();
    CScratchFolder scratch;
    std::string path = scratch.Write("shared.dat", "content");
    HANDLE first = CreateFileA(path.c_str(), c.firstAccess, c.firstShare, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, first) << c.name;
    HANDLE second = CreateFileA(path.c_str(), c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(c.secondOpens, second != INVALID_HANDLE_VALUE) << c.name;
    if (second != INVALID_HANDLE_VALUE) {
        CloseHandle(second);
    }
    CloseHandle(first);
    // Once the first handle is closed nothing stands in the way.
    second = CreateFileA(path.c_str(), c.secondAccess, c.secondShare, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, second) << c.name << ", after the first closed";
    if (second != INVALID_HANDLE_VALUE) {
        CloseHandle(second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileShareTest,
    testing::Values(
        ShareCase{"readers sharing reading", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
        ShareCase{"both share both", readWrite, shareBoth, readWrite, shareBoth, true},
        ShareCase{"writer sharing nothing refuses a reader", GENERIC_WRITE, 0, GENERIC_READ, shareBoth, false},
        ShareCase{"writer sharing reading admits a reader sharing both", GENERIC_WRITE, FILE_SHARE_READ,
                  GENERIC_READ, shareBoth, true},
        ShareCase{"writer sharing reading refuses a second writer", GENERIC_WRITE, FILE_SHARE_READ, readWrite,
                  shareBoth, false},
        ShareCase{"opener sharing only reading refused while a writer is open", readWrite, shareBoth,
                  GENERIC_READ, FILE_SHARE_READ, false},
        ShareCase{"opener sharing only reading admitted beside a reader", GENERIC_READ, shareBoth, GENERIC_READ,
                  FILE_SHARE_READ, true},
        ShareCase{"reader sharing reading only refuses a writer", GENERIC_READ, FILE_SHARE_READ, readWrite,
                  shareBoth, false},
        ShareCase{"reader sharing nothing refuses a reader", GENERIC_READ, 0, GENERIC_READ, shareBoth, false}),
    CaseName());

TEST(FileWriteTest, PositionsAndWritesLikeWindows)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("w.dat", "0123456789");
    HANDLE file = CreateFileA(path.c_str(), readWrite, shareBoth, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(4u, SetFilePointer(file, 4, nullptr, FILE_BEGIN));
    EXPECT_EQ(6u, SetFilePointer(file, 2, nullptr, FILE_CURRENT));
    EXPECT_EQ(8u, SetFilePointer(file, -2, nullptr, FILE_END));
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, -20, nullptr, FILE_BEGIN)) << "before the start";
    EXPECT_EQ(8u, SetFilePointer(file, 0, nullptr, FILE_CURRENT)) << "a refused move keeps the position";

    // Writing past the end fills the gap with zeros.
    EXPECT_EQ(12u, SetFilePointer(file, 12, nullptr, FILE_BEGIN));
    DWORD written = 99;
    ASSERT_TRUE(WriteFile(file, "AB", 2, &written, nullptr));
    EXPECT_EQ(2u, written);
    EXPECT_EQ(14u, GetFileSize(file, nullptr));
    EXPECT_EQ(2u, SetFilePointer(file, 2, nullptr, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(file, "xy", 2, &written, nullptr));
    // A zero-byte write past the end does not lengthen the file.
    SetFilePointer(file, 30, nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(file, "", 0, &written, nullptr));
    EXPECT_EQ(0u, written);
    EXPECT_EQ(14u, GetFileSize(file, nullptr));
    // The end moves to the position, which stays: cut, then lengthened with zeros.
    EXPECT_EQ(13u, SetFilePointer(file, 13, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(13u, GetFileSize(file, nullptr));
    EXPECT_EQ(16u, SetFilePointer(file, 16, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(16u, SetFilePointer(file, 0, nullptr, FILE_CURRENT));
    CloseHandle(file);
    EXPECT_EQ(std::string("01xy456789\0\0A\0\0\0", 16), scratch.Read("w.dat"));
}

TEST(FileWriteTest, ReadHandlesRefuseWriting)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("ro.dat", "keep");
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, shareBoth, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &written, nullptr));
    EXPECT_EQ(0u, written);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    SetFilePointer(reader, 2, nullptr, FILE_BEGIN);
    EXPECT_FALSE(SetEndOfFile(reader)) << "cut through a read handle";
    CloseHandle(reader);
    EXPECT_EQ("keep", scratch.Read("ro.dat"));
}

TEST(FileWriteTest, ReadOnlyFilesRefuseOpeningForWriting)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("ro.dat", "keep");
#ifdef _WIN32
    // Wine run as root (as here) opens read-only files for writing; Windows
    // and the port refuse.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
        GTEST_SKIP() << "Wine as root ignores the read-only attribute";
    }
#endif
    std::filesystem::permissions(path, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                           std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    HANDLE writer = CreateFileA(path.c_str(), readWrite, shareBoth, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer) << "a read-only file opened for writing";
    if (writer != INVALID_HANDLE_VALUE) {
        CloseHandle(writer);
    }
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, shareBoth, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader) << "reading a read-only file";
    CloseHandle(reader);
    EXPECT_EQ("keep", scratch.Read("ro.dat"));
}

}  // namespace
