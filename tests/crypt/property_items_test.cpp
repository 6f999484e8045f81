// Splitting of "Files" and "RectPyrc" and the conversion of their numbers.
#include "crypt/property_items.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> items;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name;
}

class PropertySplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(PropertySplitTest, GivesEveryItemInOrderAndNoEmptyOnes)
{
    const SplitCase& c = GetParam();
    std::vector<char> buffer(c.text.begin(), c.text.end());
    buffer.push_back('\0');
    char* cursor = buffer.data();
    std::vector<std::string> items;
    for (char* item = NextPropertyItem(&cursor); item != nullptr; item = NextPropertyItem(&cursor)) {
        items.push_back(item);
    }
    EXPECT_EQ(c.items, items) << c.name;
    // Once exhausted it stays exhausted.
    EXPECT_EQ(nullptr, NextPropertyItem(&cursor)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertySplitTest,
    testing::Values(SplitCase{"semicolon", "a.dat;b.dat", {"a.dat", "b.dat"}},
                    SplitCase{"comma", "a.dat,b.dat", {"a.dat", "b.dat"}},
                    SplitCase{"separators around and doubled", ";a.dat;,b.dat,", {"a.dat", "b.dat"}},
                    SplitCase{"empty", "", {}},
                    SplitCase{"separators only", ";,;;", {}},
                    SplitCase{"blanks are kept", "a.dat; b.dat ", {"a.dat", " b.dat "}},
                    SplitCase{"blank item", "a; ;b", {"a", " ", "b"}},
                    SplitCase{"one item", "only", {"only"}},
                    SplitCase{"other punctuation is part of a name", "a-b.c:d|e", {"a-b.c:d|e"}}),
    CaseName());

struct NumberCase {
    const char* name;
    const char* item;
    LONG value;
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << c.name;
}

class PropertyNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(PropertyNumberTest, ConvertsLikeStrtolWithinThirtyTwoBits)
{
    const NumberCase& c = GetParam();
    EXPECT_EQ(c.value, PropertyItemToLong(c.item)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyNumberTest,
    testing::Values(NumberCase{"plain", "16", 16},
                    NumberCase{"blanks around", " 5 ", 5},
                    NumberCase{"tab and newline before", "\t\n7", 7},
                    NumberCase{"minus one", "-1", -1},
                    NumberCase{"plus sign", "+42", 42},
                    NumberCase{"letter first", "x", 0},
                    NumberCase{"digits then letters", "12ab", 12},
                    NumberCase{"sign without digits", "-", 0},
                    NumberCase{"blank between sign and digits", "- 3", 0},
                    NumberCase{"hex is not read", "0x10", 0},
                    NumberCase{"largest", "2147483647", 2147483647},
                    NumberCase{"one past the largest", "2147483648", 2147483647},
                    NumberCase{"far past the largest", "99999999999999999999", 2147483647},
                    NumberCase{"smallest", "-2147483648", INT_MIN},
                    NumberCase{"below the smallest", "-2147483649", INT_MIN}),
    CaseName());

}  // namespace
