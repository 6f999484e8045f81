// Published known answers for every layer of the cipher: AES-256 through the
// provider, POLYVAL, XCTR and HCTR2 in both directions.
#include "crypt/aes_key.h"
#include "crypt/hctr2.h"
#include "crypt/polyval.h"
#include "crypt/xctr.h"
#include "tests/crypt/hex_bytes.h"
#include "tests/support/case_name.h"

#include "hctr2_vectors.h"

#include <gtest/gtest.h>

#include <ostream>

// The vector types live in the global namespace, so their printers do too.
void PrintTo(const Hctr2Vector& v, std::ostream* os) { *os << v.name; }
void PrintTo(const XctrVector& v, std::ostream* os) { *os << v.name; }
void PrintTo(const PolyvalVector& v, std::ostream* os) { *os << v.name; }
void PrintTo(const AesVector& v, std::ostream* os) { *os << v.name; }

namespace {

typedef std::vector<unsigned char> Bytes;

class CAesFixture {
public:
    explicit CAesFixture(const char* keyHex) : key(HexBytes(keyHex)), aes(provider, key.data()) {}
    Bytes key;
    CCryptoProvider provider;
    CAesKey aes;
};

class AesVectorTest : public testing::TestWithParam<AesVector> {};

TEST_P(AesVectorTest, EncryptsAndDecryptsOneBlock)
{
    const AesVector& v = GetParam();
    CAesFixture fixture(v.key);
    ASSERT_TRUE(fixture.aes.IsValid());
    // Three copies in one call: ECB encrypts each block alone.
    Bytes block = HexBytes(v.plaintext);
    Bytes data;
    for (int i = 0; i < 3; ++i) {
        data.insert(data.end(), block.begin(), block.end());
    }
    ASSERT_TRUE(fixture.aes.EncryptBlocks(data.data(), static_cast<DWORD>(data.size())));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(v.ciphertext, HexText(data.data() + 16 * i, 16)) << "block " << i;
    }
    ASSERT_TRUE(fixture.aes.DecryptBlocks(data.data(), static_cast<DWORD>(data.size())));
    EXPECT_EQ(HexText(block) + HexText(block) + HexText(block), HexText(data));
}

INSTANTIATE_TEST_SUITE_P(Published, AesVectorTest, testing::ValuesIn(aesVectors), CaseName());

class PolyvalVectorTest : public testing::TestWithParam<PolyvalVector> {};

TEST_P(PolyvalVectorTest, GivesThePublishedDigest)
{
    const PolyvalVector& v = GetParam();
    Bytes key = HexBytes(v.key);
    Bytes message = HexBytes(v.message);
    CPolyval polyval(key.data());
    polyval.Update(message.data(), message.size());
    unsigned char digest[16];
    polyval.Final(digest);
    EXPECT_EQ(v.digest, HexText(digest, 16));

    // Block by block, after a reset, gives the same digest.
    polyval.Reset();
    for (size_t i = 0; i < message.size(); i += 16) {
        polyval.Update(message.data() + i, 16);
    }
    polyval.Final(digest);
    EXPECT_EQ(v.digest, HexText(digest, 16)) << "block by block";
}

INSTANTIATE_TEST_SUITE_P(Published, PolyvalVectorTest, testing::ValuesIn(polyvalVectors),
                         CaseName());

class XctrVectorTest : public testing::TestWithParam<XctrVector> {};

TEST_P(XctrVectorTest, GivesThePublishedCiphertextAndInvertsItself)
{
    const XctrVector& v = GetParam();
    CAesFixture fixture(v.key);
    ASSERT_TRUE(fixture.aes.IsValid());
    Bytes nonce = HexBytes(v.nonce);
    Bytes data = HexBytes(v.plaintext);
    ASSERT_TRUE(XctrApply(fixture.aes, nonce.data(), data.data(), data.size()));
    EXPECT_EQ(v.ciphertext, HexText(data));
    ASSERT_TRUE(XctrApply(fixture.aes, nonce.data(), data.data(), data.size()));
    EXPECT_EQ(v.plaintext, HexText(data));
}

INSTANTIATE_TEST_SUITE_P(Published, XctrVectorTest, testing::ValuesIn(xctrVectors), CaseName());

class Hctr2VectorTest : public testing::TestWithParam<Hctr2Vector> {};

TEST_P(Hctr2VectorTest, EncryptsAndDecrypts)
{
    const Hctr2Vector& v = GetParam();
    CAesFixture fixture(v.key);
    CHctr2 hctr2(fixture.aes);
    ASSERT_TRUE(hctr2.IsValid());
    Bytes tweak = HexBytes(v.tweak);
    Bytes data = HexBytes(v.plaintext);
    ASSERT_TRUE(hctr2.Encrypt(tweak.data(), tweak.size(), data.data(), data.size()));
    EXPECT_EQ(v.ciphertext, HexText(data));
    ASSERT_TRUE(hctr2.Decrypt(tweak.data(), tweak.size(), data.data(), data.size()));
    EXPECT_EQ(v.plaintext, HexText(data));
}

INSTANTIATE_TEST_SUITE_P(Published, Hctr2VectorTest, testing::ValuesIn(hctr2Vectors), CaseName());

TEST(Hctr2KeySetupTest, HashKeyAndMaskAreTheEncryptionsOfZeroAndOne)
{
    CAesFixture fixture(hctr2Vectors[1].key);
    unsigned char blocks[32] = {};
    blocks[16] = 1;
    ASSERT_TRUE(fixture.aes.EncryptBlocks(blocks, sizeof(blocks)));
    EXPECT_EQ(intermediateHashKey, HexText(blocks, 16));
    EXPECT_EQ(intermediateMask, HexText(blocks + 16, 16));
}

TEST(Hctr2LimitsTest, RefusesDataShorterThanOneBlockAndLeavesThemAlone)
{
    CAesFixture fixture(hctr2Vectors[0].key);
    CHctr2 hctr2(fixture.aes);
    Bytes tweak = HexBytes(hctr2Vectors[0].tweak);
    Bytes data = HexBytes(hctr2Vectors[0].plaintext);
    data.pop_back();
    const Bytes before = data;
    EXPECT_FALSE(hctr2.Encrypt(tweak.data(), tweak.size(), data.data(), data.size()));
    EXPECT_FALSE(hctr2.Decrypt(tweak.data(), tweak.size(), data.data(), data.size()));
    EXPECT_EQ(before, data);
}

}  // namespace
