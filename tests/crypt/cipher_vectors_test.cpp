// Published known answers for every layer of the cipher: AES-256 through the
// provider, POLYVAL, XCTR and HCTR2 in both directions; POLYVAL and HCTR2 on
// every engine of POLYVAL (the portable code and the carry-less multiply, one
// block or two per instruction) this processor runs.
#include "crypt/aes_key.h"
#include "crypt/hctr2.h"
#include "crypt/polyval.h"
#include "crypt/xctr.h"
#include "tests/crypt/hex_bytes.h"
#include "tests/support/case_name.h"

#include "hctr2_vectors.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <tuple>

// The vector types live in the global namespace, so their printers do too.
void PrintTo(const Hctr2Vector& v, std::ostream* os) { *os << v.name; }
void PrintTo(const XctrVector& v, std::ostream* os) { *os << v.name; }
void PrintTo(const PolyvalVector& v, std::ostream* os) { *os << v.name; }
void PrintTo(const AesVector& v, std::ostream* os) { *os << v.name; }

namespace {

typedef std::vector<unsigned char> Bytes;

// A vector table run once on each POLYVAL engine; the engine is chosen for
// the hashes the case makes and the default is back afterwards.
template <typename Vector>
class CEngineTest : public testing::TestWithParam<std::tuple<Vector, PolyvalEngine>> {
protected:
    void SetUp() override
    {
        PolyvalEngine engine = std::get<1>(this->GetParam());
        if (engine > PolyvalClaimedEngine()) {
            GTEST_SKIP() << "this processor cannot run that engine";
        }
        PolyvalUseEngine(engine);
    }
    void TearDown() override { PolyvalUseEngine(PolyvalBestEngine()); }
    const Vector& Case() const { return std::get<0>(this->GetParam()); }
};

struct EngineCaseName {
    template <typename Vector>
    std::string operator()(
        const testing::TestParamInfo<std::tuple<Vector, PolyvalEngine>>& info) const
    {
        testing::TestParamInfo<Vector> vector(std::get<0>(info.param), info.index);
        static const char* const suffixes[] = {"_software", "_clmul", "_clmul_wide"};
        return CaseName()(vector) + suffixes[std::get<1>(info.param)];
    }
};

const PolyvalEngine engines[] = {polyvalSoftware, polyvalClmul, polyvalClmulWide};

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

class PolyvalVectorTest : public CEngineTest<PolyvalVector> {};

TEST_P(PolyvalVectorTest, GivesThePublishedDigest)
{
    const PolyvalVector& v = Case();
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

INSTANTIATE_TEST_SUITE_P(Published, PolyvalVectorTest,
                         testing::Combine(testing::ValuesIn(polyvalVectors),
                                          testing::ValuesIn(engines)),
                         EngineCaseName());

// Random keys, lengths and chunkings: the carry-less multiply absorbs up to
// sixteen blocks per reduction, two at a time on the wide engine, so every
// group boundary and remainder counts.
TEST(PolyvalEnginesTest, GiveTheSameDigestOnRandomInputs)
{
    if (PolyvalClaimedEngine() == polyvalSoftware) {
        GTEST_SKIP() << "this processor has no carry-less multiply";
    }
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        Bytes key(16);
        Bytes message(random() % 1200);
        for (unsigned char& b : key) {
            b = static_cast<unsigned char>(random());
        }
        for (unsigned char& b : message) {
            b = static_cast<unsigned char>(random());
        }
        unsigned seed = static_cast<unsigned>(random());
        std::string digests[polyvalClmulWide + 1];
        for (PolyvalEngine engine : engines) {
            if (engine > PolyvalClaimedEngine()) {
                continue;
            }
            PolyvalUseEngine(engine);
            CPolyval polyval(key.data());
            std::mt19937 cuts(seed);
            size_t done = 0;
            while (message.size() - done >= 16) {
                size_t part = 16 * (cuts() % 40);
                part = part < message.size() - done ? part : (message.size() - done) / 16 * 16;
                polyval.Update(message.data() + done, part);
                done += part;
            }
            polyval.UpdatePadded(message.data() + done, message.size() - done);
            unsigned char digest[16];
            polyval.Final(digest);
            digests[engine] = HexText(digest, 16);
            ASSERT_EQ(digests[polyvalSoftware], digests[engine])
                << "engine " << engine << ", round " << round << ", " << message.size() << " bytes";
        }
        PolyvalUseEngine(PolyvalBestEngine());
    }
}

// Hashes use an engine only after it agreed with the portable code; on a
// sound processor and build every engine it claims does.
TEST(PolyvalEnginesTest, EveryClaimedEngineAgreesAndIsUsed)
{
    for (PolyvalEngine engine : engines) {
        if (engine <= PolyvalClaimedEngine()) {
            EXPECT_TRUE(PolyvalEngineAgrees(engine)) << "engine " << engine;
        }
    }
    EXPECT_EQ(PolyvalClaimedEngine(), PolyvalBestEngine());
}

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

class Hctr2VectorTest : public CEngineTest<Hctr2Vector> {};

TEST_P(Hctr2VectorTest, EncryptsAndDecrypts)
{
    const Hctr2Vector& v = Case();
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

INSTANTIATE_TEST_SUITE_P(Published, Hctr2VectorTest,
                         testing::Combine(testing::ValuesIn(hctr2Vectors),
                                          testing::ValuesIn(engines)),
                         EngineCaseName());

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
