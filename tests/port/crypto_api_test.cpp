// CryptoAPI as the system uses it: the port over libcrypto natively, the real
// providers under Wine. Hash parameter buffer rules and ECB block rules must agree.
#include <windows.h>
#include <wincrypt.h>

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <port/host.h>
#endif

#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Hex(const BYTE* bytes, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

class CProvider {
public:
    explicit CProvider(DWORD type)
    {
        if (!CryptAcquireContextA(&handle, nullptr, nullptr, type, CRYPT_VERIFYCONTEXT)) {
            handle = 0;
        }
    }
    ~CProvider()
    {
        if (handle != 0) {
            CryptReleaseContext(handle, 0);
        }
    }
    HCRYPTPROV handle = 0;
};

struct DigestCase {
    const char* name;
    DWORD providerType;
    ALG_ID algorithm;
    std::string message;
    const char* digest;
};

void PrintTo(const DigestCase& c, std::ostream* os)
{
    *os << c.name;
}

class CryptoDigestTest : public testing::TestWithParam<DigestCase> {};

TEST_P(CryptoDigestTest, GivesThePublishedDigestInOneOrTwoParts)
{
    const DigestCase& c = GetParam();
    CProvider provider(c.providerType);
    ASSERT_NE(0u, provider.handle) << c.name;
    for (size_t split : {c.message.size(), c.message.size() / 2}) {
        HCRYPTHASH hash = 0;
        ASSERT_TRUE(CryptCreateHash(provider.handle, c.algorithm, 0, 0, &hash)) << c.name;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(c.message.data());
        EXPECT_TRUE(CryptHashData(hash, bytes, static_cast<DWORD>(split), 0));
        EXPECT_TRUE(CryptHashData(hash, bytes + split, static_cast<DWORD>(c.message.size() - split), 0));
        BYTE digest[64] = {};
        DWORD length = sizeof(digest);
        EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0));
        EXPECT_EQ(c.digest, Hex(digest, length)) << c.name << ", split at " << split;
        EXPECT_TRUE(CryptDestroyHash(hash));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Published, CryptoDigestTest,
    testing::Values(
        DigestCase{"md5 empty", PROV_RSA_FULL, CALG_MD5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        DigestCase{"md5 message digest", PROV_RSA_FULL, CALG_MD5, "message digest",
                   "f96b697d7cb7938d525a2f31aaf161d0"},
        DigestCase{"md5 from the AES provider", PROV_RSA_AES, CALG_MD5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        DigestCase{"sha256 abc", PROV_RSA_AES, CALG_SHA_256, "abc",
                   "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        DigestCase{"sha256 two blocks", PROV_RSA_AES, CALG_SHA_256,
                   "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                   "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"}),
    CaseName());

TEST(CryptoHashParamTest, FollowsTheBufferRulesAndFinishesTheHash)
{
    CProvider provider(PROV_RSA_FULL);
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(provider.handle, CALG_MD5, 0, 0, &hash));
    DWORD size = 0;
    DWORD length = sizeof(size);
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &length, 0));
    EXPECT_EQ(16u, size);
    length = 0;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, nullptr, &length, 0)) << "size query";
    EXPECT_EQ(16u, length);

    std::vector<BYTE> buffer(17, 0xAB);
    length = 15;
    EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, buffer.data(), &length, 0)) << "one short";
    EXPECT_EQ(16u, length);
    length = 16;
    ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, buffer.data(), &length, 0)) << "exact fit";
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Hex(buffer.data(), 16));
    EXPECT_EQ(0xAB, buffer[16]) << "nothing written past the value";

    // The value can be taken again, but the hash takes no more data.
    length = 16;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, buffer.data(), &length, 0));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Hex(buffer.data(), 16));
    const BYTE more[1] = {'x'};
    EXPECT_FALSE(CryptHashData(hash, more, 1, 0));
    EXPECT_TRUE(CryptDestroyHash(hash));
}

struct AesKeyBlob {
    BLOBHEADER header;
    DWORD size;
    BYTE key[32];
};

HCRYPTKEY ImportAes256(HCRYPTPROV provider)
{
    AesKeyBlob blob {};
    blob.header.bType = PLAINTEXTKEYBLOB;
    blob.header.bVersion = CUR_BLOB_VERSION;
    blob.header.aiKeyAlg = CALG_AES_256;
    blob.size = 32;
    for (BYTE i = 0; i < 32; ++i) {
        blob.key[i] = i;
    }
    HCRYPTKEY key = 0;
    if (!CryptImportKey(provider, reinterpret_cast<const BYTE*>(&blob), sizeof(blob), 0, 0, &key)) {
        return 0;
    }
    return key;
}

TEST(CryptoAesTest, EncryptsWholeBlocksInEcbAndRefusesPartialOnes)
{
    CProvider provider(PROV_RSA_AES);
    HCRYPTKEY key = ImportAes256(provider.handle);
    ASSERT_NE(0u, key);
    DWORD mode = CRYPT_MODE_ECB;
    ASSERT_TRUE(CryptSetKeyParam(key, KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0));

    // FIPS-197 C.3, twice in one call: in ECB both blocks come out the same.
    BYTE data[32];
    for (int i = 0; i < 32; ++i) {
        data[i] = static_cast<BYTE>((i % 16) * 0x11);
    }
    DWORD length = 32;
    ASSERT_TRUE(CryptEncrypt(key, 0, FALSE, 0, data, &length, sizeof(data)));
    EXPECT_EQ(32u, length);
    EXPECT_EQ("8ea2b7ca516745bfeafc49904b4960898ea2b7ca516745bfeafc49904b496089", Hex(data, 32));
    ASSERT_TRUE(CryptDecrypt(key, 0, FALSE, 0, data, &length));
    EXPECT_EQ("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", Hex(data, 32));

    length = 20;
    EXPECT_FALSE(CryptEncrypt(key, 0, FALSE, 0, data, &length, sizeof(data))) << "not a whole block";
    EXPECT_TRUE(CryptDestroyKey(key));
}

TEST(CryptoAesTest, TheBaseProviderImportsNoAesKey)
{
    CProvider provider(PROV_RSA_FULL);
    ASSERT_NE(0u, provider.handle);
    HCRYPTKEY key = ImportAes256(provider.handle);
    EXPECT_EQ(0u, key);
    if (key != 0) {
        CryptDestroyKey(key);
    }
}

#ifndef _WIN32
TEST(CryptoFailureControlTest, FailsTheNamedCallUntilCleared)
{
    PortSetCryptoFailure("CryptHashData");
    CProvider provider(PROV_RSA_FULL);
    ASSERT_NE(0u, provider.handle) << "other calls still work";
    HCRYPTHASH hash = 0;
    ASSERT_TRUE(CryptCreateHash(provider.handle, CALG_MD5, 0, 0, &hash));
    const BYTE byte[1] = {'a'};
    EXPECT_FALSE(CryptHashData(hash, byte, 1, 0));
    PortSetCryptoFailure("");
    EXPECT_TRUE(CryptHashData(hash, byte, 1, 0));
    CryptDestroyHash(hash);

    PortSetCryptoFailure("*");
    HCRYPTPROV none = 0;
    EXPECT_FALSE(CryptAcquireContextA(&none, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    PortSetCryptoFailure("");
}
#endif

}  // namespace
