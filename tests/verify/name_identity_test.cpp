// The names' identity both checks share: equal exactly when the Unicode forms,
// simply upper-cased, are equal. Each row is a pair of names in one code page,
// among them names a linguistic comparison calls equal (a ligature and its
// letters, a soft hyphen, sharp s, width and kana variants), which stay
// apart here. Where the code page is the active one, the listing match and
// the manifest lookup must give the same answer as the identity.
#include "bytes_reader.h"
#include "listing_maker.h"

#include "tests/support/case_name.h"

#include "verify/find_data_compare.h"
#include "verify/find_data_from_md5.h"
#include "verify/name_identity.h"

#ifndef _WIN32
#include <port/host.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct IdentityCase {
    const char* name;
    UINT codePage;
    const char* onDisc;
    const char* listed;
    bool same;
};

void PrintTo(const IdentityCase& c, std::ostream* os)
{
    *os << c.name;
}

class NameIdentityTest : public testing::TestWithParam<IdentityCase> {};

TEST_P(NameIdentityTest, BothChecksTellNamesApartAlike)
{
    const IdentityCase& c = GetParam();
    EXPECT_EQ(CompareNames(c.onDisc, c.listed, c.codePage) == 0, c.same);
    EXPECT_EQ(CompareNames(c.listed, c.onDisc, c.codePage) == 0, c.same);
#ifndef _WIN32
    ASSERT_TRUE(PortSetCodePage(c.codePage));
#endif
    if (GetACP() == c.codePage) {
        WIN32_FIND_DATAA found = MakeRecord(File(c.onDisc, 3));
        WIN32_FIND_DATAA expected = MakeRecord(File(c.listed, 3));
        EXPECT_EQ(cmpFiles.Match(expected, found) != 0, c.same) << "listing match";
        EXPECT_EQ(cmpFiles.Covers(CFindDataArray{found}, CFindDataArray{expected}) != 0, c.same) << "listing index";
        std::string manifest = std::string("\\") + c.listed + "\t0CC175B9C0F1B6A831C399E269772661\r\n";
        CBytesReader reader(std::vector<uint8_t>(manifest.begin(), manifest.end()));
        CFindDataFromMD5 input(&reader);
        EXPECT_EQ(input.Find((std::string("\\") + c.onDisc).c_str()) == 0, c.same) << "manifest lookup";
    }
#ifndef _WIN32
    PortSetCodePage(1252);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameIdentityTest,
    testing::Values(IdentityCase{"letters outside ASCII in both cases", 1252, "\xC4rger.txt", "\xE4RGER.TXT", true},
                    IdentityCase{"y with diaeresis and its capital", 1252, "\xFF.txt", "\x9F.TXT", true},
                    IdentityCase{"a ligature and its letters", 1252, "encyclop\xE6" "dia.txt", "encyclopaedia.txt", false},
                    IdentityCase{"a soft hyphen", 1252, "co\xADop.txt", "coop.txt", false},
                    IdentityCase{"sharp s and double s", 1252, "stra\xDF" "e.txt", "STRASSE.TXT", false},
                    IdentityCase{"a byte without a character", 1252, "\x81.txt", "\x81.TXT", true},
                    IdentityCase{"Cyrillic in both cases", 1251, "\xD4\xE0\xE9\xEB.txt", "\xD4\xC0\xC9\xCB.TXT", true},
                    IdentityCase{"io and ie", 1251, "\xB8.txt", "\xE5.txt", false},
                    IdentityCase{"Polish letters in both cases", 1250, "\xA3\xF3" "d\x9F.txt", "\xA3\xD3" "D\x8F.TXT", true},
                    IdentityCase{"full-width letters in both cases", 932, "\x82\x60.txt", "\x82\x81.txt", true},
                    IdentityCase{"full-width and ASCII letters", 932, "\x82\x60.txt", "A.txt", false},
                    IdentityCase{"half-width and full-width katakana", 932, "\xB1.txt", "\x83\x41.txt", false},
                    IdentityCase{"hiragana and katakana", 932, "\x82\xA0.txt", "\x83\x41.txt", false},
                    IdentityCase{"Greek in both cases", 932, "\x83\x9F.txt", "\x83\xBF.txt", true},
                    IdentityCase{"broken double-byte characters", 932, "\x82.txt", "\x83.txt", false}),
    CaseName());

}  // namespace
