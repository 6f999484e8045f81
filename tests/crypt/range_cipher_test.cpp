// Properties of the cipher behind CryptFile: it inverts, diffuses, keys on the
// pass phrase's text only, and refuses what it cannot do without touching data.
#include "crypt/crypt_file.h"
#include "crypt/range_cipher.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <port/host.h>
#endif

#include <ostream>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

Bytes Pattern(size_t length, unsigned seed = 1)
{
    Bytes data(length);
    for (size_t i = 0; i < length; ++i) {
        data[i] = static_cast<BYTE>((i * 131 + seed * 17 + (i >> 3)) & 0xFF);
    }
    return data;
}

Bytes Transformed(int mode, const char* pass, Bytes data)
{
    EXPECT_EQ(cipherOk, CipherTransform(mode, pass, data.data(), static_cast<LONG>(data.size())));
    return data;
}

TEST(RangeCipherTest, DecryptAfterEncryptGivesTheInputBackForEveryLengthUpTo300)
{
    for (size_t length = 0; length <= 300; ++length) {
        const Bytes plain = Pattern(length);
        Bytes cipher = Transformed(cipherEncrypt, "pass phrase", plain);
        if (length > 0) {
            EXPECT_NE(plain, cipher) << "length " << length;
        }
        EXPECT_EQ(plain, Transformed(cipherDecrypt, "pass phrase", cipher)) << "length " << length;
    }
}

TEST(RangeCipherTest, EveryInputByteReachesBothEndsOfTheOutput)
{
    for (size_t length : {16u, 17u, 32u, 47u, 300u}) {
        const Bytes plain = Pattern(length);
        const Bytes cipher = Transformed(cipherEncrypt, "diffusion", plain);
        for (size_t position = 0; position < length; ++position) {
            Bytes changed = plain;
            changed[position] ^= 0x01;
            Bytes other = Transformed(cipherEncrypt, "diffusion", changed);
            // One byte can agree by chance; a whole block at either end cannot.
            EXPECT_NE(Bytes(cipher.begin(), cipher.begin() + 16), Bytes(other.begin(), other.begin() + 16))
                << "length " << length << ", byte " << position << ": first block";
            EXPECT_NE(Bytes(cipher.end() - 16, cipher.end()), Bytes(other.end() - 16, other.end()))
                << "length " << length << ", byte " << position << ": last block";
        }
    }
}

TEST(RangeCipherTest, ShortRangesOfEqualLengthShareTheirPadAndOtherLengthsDoNot)
{
    // Ranges of 1 to 15 bytes are XORed with a pad made from the length alone.
    Bytes zeros7(7, 0);
    Bytes pad7 = Transformed(cipherEncrypt, "short", zeros7);
    Bytes data7 = Pattern(7);
    Bytes cipher7 = Transformed(cipherEncrypt, "short", data7);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(static_cast<BYTE>(data7[i] ^ pad7[i]), cipher7[i]) << "byte " << i;
    }
    Bytes pad8 = Transformed(cipherEncrypt, "short", Bytes(8, 0));
    EXPECT_NE(pad7, Bytes(pad8.begin(), pad8.begin() + 7));
}

TEST(RangeCipherTest, OnlyThePassPhraseTextCounts)
{
    const Bytes plain = Pattern(40);
    const char first[] = "same\0one";
    const char second[] = "same\0two";
    EXPECT_EQ(Transformed(cipherEncrypt, first, plain), Transformed(cipherEncrypt, second, plain));
    EXPECT_NE(Transformed(cipherEncrypt, "same", plain), Transformed(cipherEncrypt, "Same", plain));
    EXPECT_NE(Transformed(cipherEncrypt, "", plain), plain) << "an empty pass phrase still encrypts";
}

TEST(RangeCipherTest, CryptBufferKeepsThirtyOneCharactersOfThePassPhrase)
{
    const std::string longPass(40, 'p');
    const Bytes plain = Pattern(33);
    Bytes viaBuffer = plain;
    ASSERT_TRUE(CryptBuffer(viaBuffer.data(), static_cast<LONG>(viaBuffer.size()), longPass.c_str()));
    EXPECT_EQ(Transformed(cipherEncrypt, longPass.substr(0, 31).c_str(), plain), viaBuffer);
    EXPECT_NE(Transformed(cipherEncrypt, longPass.substr(0, 30).c_str(), plain), viaBuffer);
}

struct RefusalCase {
    const char* name;
    int mode;
    bool withData;
    LONG length;
    int result;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class RangeCipherRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RangeCipherRefusalTest, AnswersAndLeavesTheDataAlone)
{
    const RefusalCase& c = GetParam();
    const Bytes before = Pattern(32);
    Bytes data = before;
    BYTE* pointer = c.withData ? data.data() : nullptr;
    EXPECT_EQ(c.result, CipherTransform(c.mode, "pass", pointer, c.length)) << c.name;
    EXPECT_EQ(before, data) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeCipherRefusalTest,
    testing::Values(RefusalCase{"mode 0", 0, true, 32, cipherBadArgument},
                    RefusalCase{"mode 3", 3, true, 32, cipherBadArgument},
                    RefusalCase{"mode -1", -1, true, 32, cipherBadArgument},
                    RefusalCase{"no data", cipherEncrypt, false, 32, cipherBadArgument},
                    RefusalCase{"negative length", cipherEncrypt, true, -1, cipherBadArgument},
                    RefusalCase{"empty range", cipherEncrypt, true, 0, cipherOk},
                    RefusalCase{"empty range without data", cipherDecrypt, false, 0, cipherOk},
                    RefusalCase{"unknown mode on an empty range", 5, true, 0, cipherBadArgument}),
    CaseName());

TEST(RangeCipherTest, PrepareChecksItsArgumentsAndChangesNothing)
{
    const Bytes before = Pattern(20);
    Bytes data = before;
    EXPECT_EQ(cipherOk, CipherPrepare(data.data(), 20, -1));
    EXPECT_EQ(cipherOk, CipherPrepare(nullptr, 0, -1));
    EXPECT_NE(cipherOk, CipherPrepare(nullptr, 20, -1));
    EXPECT_NE(cipherOk, CipherPrepare(data.data(), -1, -1));
    EXPECT_NE(cipherOk, CipherPrepare(data.data(), 20, 0));
    EXPECT_EQ(before, data);
}

#ifndef _WIN32
// Natively the port can make CryptoAPI fail one call at a time; every call the
// cipher makes before it touches the data must leave the data as they were.
class RangeCipherUnavailableTest : public testing::TestWithParam<const char*> {
protected:
    void TearDown() override { PortSetCryptoFailure(""); }
};

TEST_P(RangeCipherUnavailableTest, ReportsFailureWithTheDataUnchanged)
{
    for (int mode : {cipherEncrypt, cipherDecrypt}) {
        for (size_t length : {5u, 40u}) {
            const Bytes before = Pattern(length);
            Bytes data = before;
            PortSetCryptoFailure(GetParam());
            int result = CipherTransform(mode, "pass", data.data(), static_cast<LONG>(length));
            PortSetCryptoFailure("");
            EXPECT_EQ(cipherUnavailable, result) << GetParam() << ", mode " << mode << ", length " << length;
            EXPECT_EQ(before, data) << GetParam() << ", mode " << mode << ", length " << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, RangeCipherUnavailableTest,
                         testing::Values("*", "CryptAcquireContextA", "CryptCreateHash",
                                         "CryptHashData", "CryptGetHashParam", "CryptImportKey",
                                         "CryptSetKeyParam", "CryptEncrypt"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param[0] == '*' ? "every_call" : info.param);
                         });

TEST(RangeCipherTest, DecryptionFailsWhenTheProviderCannotDecrypt)
{
    const Bytes before = Pattern(40);
    Bytes data = before;
    PortSetCryptoFailure("CryptDecrypt");
    EXPECT_EQ(cipherUnavailable, CipherTransform(cipherDecrypt, "pass", data.data(), 40));
    PortSetCryptoFailure("");
    EXPECT_EQ(before, data);
}
#endif

}  // namespace

namespace {

// The worked example of docs/cipher.md, computed there with an independent
// implementation (AES from the openssl command line, POLYVAL bit by bit).
struct WorkedExample {
    const char* name;
    std::string plain;
    const char* cipherHex;
};

void PrintTo(const WorkedExample& c, std::ostream* os)
{
    *os << c.name;
}

std::string Hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (BYTE b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

class CipherDocumentExampleTest : public testing::TestWithParam<WorkedExample> {};

TEST_P(CipherDocumentExampleTest, GivesTheDocumentedBytesBothWays)
{
    const WorkedExample& c = GetParam();
    Bytes plain(c.plain.begin(), c.plain.end());
    Bytes cipher = Transformed(cipherEncrypt, "sample pass 7", plain);
    EXPECT_EQ(c.cipherHex, Hex(cipher)) << c.name;
    EXPECT_EQ(plain, Transformed(cipherDecrypt, "sample pass 7", cipher)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Document, CipherDocumentExampleTest,
    testing::Values(WorkedExample{"HCTR2 range", "Vesmark range sample", "218709ddb20cb26ca7bb4921218533f9eb773121"},
                    WorkedExample{"short range", "ABCDE", "9a2611f4f4"}),
    CaseName());

}  // namespace
