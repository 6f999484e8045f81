// GetMD5, HexDigit and GetFileMD5: RFC 1321's vectors in memory and in files,
// chunked hashing equal to one block, and the files that cannot be digested.
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"
#include "verify/file_md5.h"
#include "verify/md5_digest.h"

#ifndef _WIN32
#include <port/host.h>
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char* const emptyDigest = "D41D8CD98F00B204E9800998ECF8427E";

std::string HexOf(const BYTE* digest)
{
    std::string text;
    for (DWORD i = 0; i < md5DigestSize; ++i) {
        text += HexDigit(digest[i] >> 4);
        text += HexDigit(digest[i]);
    }
    return text;
}

// Bytes that differ from block to block, so that a chunk read twice or
// skipped changes the digest.
std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    uint32_t state = 2463534242u;
    for (char& c : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state);
    }
    return data;
}

struct Rfc1321Case {
    const char* name;
    std::string message;
    const char* digest;
};

void PrintTo(const Rfc1321Case& c, std::ostream* os)
{
    *os << c.name;
}

class Rfc1321Test : public testing::TestWithParam<Rfc1321Case> {};

TEST_P(Rfc1321Test, MemoryBlockHasTheListedDigest)
{
    const Rfc1321Case& c = GetParam();
    EXPECT_EQ(HexOf(GetMD5(c.message.data(), static_cast<DWORD>(c.message.size()))), c.digest);
}

TEST_P(Rfc1321Test, FileHasTheListedDigestInUpperCase)
{
    const Rfc1321Case& c = GetParam();
    CScratchFolder scratch;
    std::string path = scratch.Write("message.bin", c.message);
    const char* text = GetFileMD5(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.digest);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, Rfc1321Test,
    testing::Values(
        Rfc1321Case{"empty", "", emptyDigest},
        Rfc1321Case{"a", "a", "0CC175B9C0F1B6A831C399E269772661"},
        Rfc1321Case{"abc", "abc", "900150983CD24FB0D6963F7D28E17F72"},
        Rfc1321Case{"message digest", "message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        Rfc1321Case{"alphabet", "abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        Rfc1321Case{"alphanumerics", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                    "D174AB98D277D9F5A5611C2C9F419D9F"},
        Rfc1321Case{"eight times 1234567890",
                    "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
                    "57EDF4A22BE3C955AC49DA2E2107B67A"}),
    CaseName());

TEST(HexDigitTest, UsesDigitsAndUpperCaseLettersOfTheLowFourBits)
{
    const std::string expected = "0123456789ABCDEF";
    for (unsigned value = 0; value < 16; ++value) {
        EXPECT_EQ(HexDigit(value), expected[value]) << value;
        EXPECT_EQ(HexDigit(value | 0xA0), expected[value]) << value;
    }
}

struct ChunkCase {
    const char* name;
    size_t size;
    DWORD chunkSize;
};

void PrintTo(const ChunkCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.size << " bytes in chunks of " << c.chunkSize << ")";
}

class ChunkedDigestTest : public testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkedDigestTest, ChunkedEqualsOneBlock)
{
    const ChunkCase& c = GetParam();
    std::string data = Pattern(c.size);
    std::string oneBlock = HexOf(GetMD5(data.data(), static_cast<DWORD>(data.size())));
    CScratchFolder scratch;
    std::string path = scratch.Write("data.bin", data);
    const char* chunked = GetFileMD5(path.c_str(), 0, c.chunkSize);
    ASSERT_NE(chunked, nullptr);
    EXPECT_EQ(chunked, oneBlock);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ChunkedDigestTest,
    testing::Values(ChunkCase{"one byte", 1, 64}, ChunkCase{"one short of a chunk", 63, 64},
                    ChunkCase{"exactly a chunk", 64, 64}, ChunkCase{"one over a chunk", 65, 64},
                    ChunkCase{"chunk smaller than an MD5 block", 1000, 7},
                    ChunkCase{"many chunks and a tail", 3 * 4096 + 5, 4096},
                    ChunkCase{"several default chunks", 3 * md5ChunkSize + 17, md5ChunkSize}),
    CaseName());

// In the real chunks: a file one byte longer than a chunk has the digest of its content.
TEST(FileMD5Test, FileLongerThanAChunkHasTheDigestOfItsContent)
{
    std::string data = Pattern(static_cast<size_t>(md5ChunkSize) + 1);
    std::string expected = HexOf(GetMD5(data.data(), static_cast<DWORD>(data.size())));
    CScratchFolder scratch;
    std::string path = scratch.Write("large.bin", data);
    const char* text = GetFileMD5(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text, expected);
}

TEST(FileMD5Test, FilesThatCannotBeReadGiveNoDigest)
{
    CScratchFolder scratch;
    scratch.Write("Folder/inside.txt", "x");
    EXPECT_EQ(GetFileMD5((scratch.Path() + "absent.txt").c_str()), nullptr);
    EXPECT_EQ(GetFileMD5((scratch.Path() + "Folder").c_str()), nullptr);
}

TEST(FileMD5Test, FileHeldOpenForWritingGivesNoDigest)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("busy.txt", "abc");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // The check's open shares only reading, so it cannot join a writer.
    EXPECT_EQ(GetFileMD5(path.c_str()), nullptr);
    CloseHandle(writer);
    const char* text = GetFileMD5(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "900150983CD24FB0D6963F7D28E17F72");
}

TEST(FileMD5Test, FileOpenOnlyForReadingIsDigested)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("shared.txt", "abc");
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const char* text = GetFileMD5(path.c_str());
    CloseHandle(reader);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "900150983CD24FB0D6963F7D28E17F72");
}

TEST(FileMD5Test, NextCallRewritesTheSameText)
{
    CScratchFolder scratch;
    std::string a = scratch.Write("a.txt", "a");
    std::string abc = scratch.Write("abc.txt", "abc");
    const char* first = GetFileMD5(a.c_str());
    const char* second = GetFileMD5(abc.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "900150983CD24FB0D6963F7D28E17F72");
}

#ifndef _WIN32
// Natively the port's provider can be made to fail; under Wine it is the real one.
class CryptoFailureTest : public testing::TestWithParam<const char*> {
protected:
    void TearDown() override { PortSetCryptoFailure(""); }
};

TEST_P(CryptoFailureTest, DigestIsAllZeroAndTheNextCallWorks)
{
    CScratchFolder scratch;
    std::string path = scratch.Write("abc.txt", "abc");
    PortSetCryptoFailure(GetParam());
    EXPECT_EQ(HexOf(GetMD5("abc", 3)), std::string(32, '0'));
    const char* text = GetFileMD5(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, std::string(32, '0').c_str());
    const char* chunked = GetFileMD5(path.c_str(), 0, 1);
    ASSERT_NE(chunked, nullptr);
    EXPECT_STREQ(chunked, std::string(32, '0').c_str());
    // A failure is not remembered: with the provider working again the next digest is right.
    PortSetCryptoFailure("");
    EXPECT_EQ(HexOf(GetMD5("abc", 3)), "900150983CD24FB0D6963F7D28E17F72");
}

INSTANTIATE_TEST_SUITE_P(Calls, CryptoFailureTest,
                         testing::Values("CryptAcquireContextA", "CryptCreateHash", "CryptHashData",
                                         "CryptGetHashParam", "*"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param[0] == '*' ? "every_call" : info.param);
                         });
#endif

}  // namespace
