// Splitting of "Files", "RectPyrc" and a deferred action's "CustomActionData",
// and the conversion of the numbers.
#include "crypt/crypt_action_data.h"
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

struct ActionDataCase {
    const char* name;
    std::string data;
    bool split;
    std::vector<std::string> fields;  // folder, Files, RectPyrc, pass phrase
};

void PrintTo(const ActionDataCase& c, std::ostream* os)
{
    *os << c.name;
}

class ActionDataSplitTest : public testing::TestWithParam<ActionDataCase> {};

TEST_P(ActionDataSplitTest, TakesThreeFieldsAndTheRestAsThePassPhrase)
{
    const ActionDataCase& c = GetParam();
    std::vector<char> buffer(c.data.begin(), c.data.end());
    buffer.push_back('\0');
    CryptActionFields fields = {};
    ASSERT_EQ(c.split, SplitCryptActionData(buffer.data(), &fields)) << c.name;
    if (!c.split) {
        return;
    }
    std::vector<std::string> actual = {fields.folder, fields.files, fields.params, fields.pass};
    EXPECT_EQ(c.fields, actual) << c.name;
}

ActionDataCase Fields(const char* name, const std::vector<std::string>& fields)
{
    return ActionDataCase{name, fields[0] + "|" + fields[1] + "|" + fields[2] + "|" + fields[3], true, fields};
}

ActionDataCase Refused(const char* name, const std::string& data)
{
    return ActionDataCase{name, data, false, {}};
}

const std::string longFolder = "C:\\" + std::string(255, 'f') + "\\";  // 259 characters

INSTANTIATE_TEST_SUITE_P(
    Cases, ActionDataSplitTest,
    testing::Values(Fields("plain", {"C:\\App\\", "a.dat;b.dat", "16;32", "Pass"}),
                    Fields("pass phrase holding separators", {"C:\\App\\", "a.dat", "0;-1", "|a|b|"}),
                    Fields("empty Files", {"C:\\App\\", "", "16;32", "Pass"}),
                    Fields("empty pass phrase", {"C:\\App\\", "a.dat", "16;32", ""}),
                    Fields("folder of 259 characters", {longFolder, "a", "1;2", "p"}),
                    Refused("folder of 260 characters", "f" + longFolder + "|a|1;2|p"),
                    Fields("Files of 1299 characters", {"C:\\", "a" + std::string(1298, ';'), "1;2", "p"}),
                    Refused("Files of 1300 characters", "C:\\|a" + std::string(1299, ';') + "|1;2|p"),
                    Fields("RectPyrc of 254 characters", {"C:\\", "a", "1;2" + std::string(251, ';'), "p"}),
                    Refused("RectPyrc of 255 characters", "C:\\|a|1;2" + std::string(252, ';') + "|p"),
                    Fields("pass phrase of 31 characters", {"C:\\", "a", "1;2", std::string(31, 'p')}),
                    Refused("pass phrase of 32 characters", "C:\\|a|1;2|" + std::string(32, 'p')),
                    Refused("two separators", "C:\\App\\|a.dat|16;32"),
                    Refused("empty folder", "|a.dat|16;32|Pass")),
    CaseName());

struct FolderItemCase {
    const char* name;
    const char* item;
    bool staysInside;
};

void PrintTo(const FolderItemCase& c, std::ostream* os)
{
    *os << c.name;
}

class FolderItemTest : public testing::TestWithParam<FolderItemCase> {};

TEST_P(FolderItemTest, AnItemNamesAFileInsideTheFolderOrIsRefused)
{
    const FolderItemCase& c = GetParam();
    EXPECT_EQ(c.staysInside, ItemStaysInFolder(c.item)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderItemTest,
    testing::Values(FolderItemCase{"plain name", "a.dat", true},
                    FolderItemCase{"in a subfolder, either separator", "Data\\x/b.dat", true},
                    FolderItemCase{"blank and dot components", " a\\.\\b.dat", true},
                    FolderItemCase{"name with dots inside", "a..b.dat", true},
                    FolderItemCase{"parent first", "..\\outside.txt", false},
                    FolderItemCase{"parent in the middle", "Data/../../outside.txt", false},
                    FolderItemCase{"parent spelled with more dots or blanks", "Data\\... \\x.txt", false},
                    FolderItemCase{"parent last", "Data\\..", false},
                    FolderItemCase{"leading backslash", "\\Windows\\win.ini", false},
                    FolderItemCase{"leading slash", "/etc/passwd", false},
                    FolderItemCase{"drive", "C:\\boot.ini", false},
                    FolderItemCase{"drive-relative", "C:boot.ini", false},
                    FolderItemCase{"alternate stream", "a.dat:hidden", false}),
    CaseName());

}  // namespace
