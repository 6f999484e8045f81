#include "base/bounded_text.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

const HRESULT cut = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
const char sentinel = '#';

struct BoundedCase {
    const char* name;
    bool append;
    std::string before;  // destination content; no terminator added when noTerminator
    bool noTerminator;
    size_t capacity;
    std::string source;
    HRESULT result;
    std::string after;  // expected text; unchanged destination when result is E_INVALIDARG
};

void PrintTo(const BoundedCase& c, std::ostream* os)
{
    *os << c.name;
}

class BoundedTextTest : public testing::TestWithParam<BoundedCase> {};

TEST_P(BoundedTextTest, CopiesOrAppendsWithinCapacity)
{
    const BoundedCase& c = GetParam();
    // Unusable capacities are never touched, so a small buffer stands in for them.
    size_t usable = std::min<size_t>(c.capacity, 1024);
    std::vector<char> buffer(std::max(usable, c.before.size() + 1) + 8, sentinel);
    std::copy(c.before.begin(), c.before.end(), buffer.begin());
    if (!c.noTerminator) {
        buffer[c.before.size()] = '\0';
    }
    std::vector<char> original = buffer;

    HRESULT result = c.append ? AppendBounded(buffer.data(), c.capacity, c.source.c_str())
                              : CopyBounded(buffer.data(), c.capacity, c.source.c_str());

    EXPECT_EQ(c.result, result) << c.name;
    if (c.result == E_INVALIDARG) {
        EXPECT_EQ(original, buffer) << c.name << ": destination must stay as it was";
    } else {
        EXPECT_EQ(c.after, std::string(buffer.data())) << c.name;
        EXPECT_LE(c.after.size() + 1, c.capacity) << c.name;
    }
    // Nothing is ever written past the capacity.
    for (size_t i = std::max(usable, c.before.size() + 1); i < buffer.size(); ++i) {
        EXPECT_EQ(sentinel, buffer[i]) << c.name << ": byte " << i << " past the capacity";
    }
}

const std::string s259(259, 'x');
const std::string s260(260, 'y');

INSTANTIATE_TEST_SUITE_P(
    Cases, BoundedTextTest,
    testing::Values(
        BoundedCase{"copy fits", false, "", false, 10, "abc", S_OK, "abc"},
        BoundedCase{"copy 259 into 260", false, "", false, 260, s259, S_OK, s259},
        BoundedCase{"copy 260 into 260 is cut", false, "", false, 260, s260, cut, s260.substr(0, 259)},
        BoundedCase{"copy exact fit", false, "", false, 4, "abc", S_OK, "abc"},
        BoundedCase{"copy one over", false, "", false, 3, "abc", cut, "ab"},
        BoundedCase{"copy into capacity 1", false, "", false, 1, "abc", cut, ""},
        BoundedCase{"copy empty text", false, "old", false, 5, "", S_OK, ""},
        BoundedCase{"copy capacity 0", false, "old", false, 0, "abc", E_INVALIDARG, ""},
        BoundedCase{"copy capacity too large", false, "old", false, 2147483648u, "abc",
                    E_INVALIDARG, ""},
        BoundedCase{"append fits", true, "ab", false, 10, "cd", S_OK, "abcd"},
        BoundedCase{"append exact fit", true, "ab", false, 5, "cd", S_OK, "abcd"},
        BoundedCase{"append one over", true, "ab", false, 4, "cd", cut, "abc"},
        BoundedCase{"append onto full buffer", true, "abc", false, 4, "d", cut, "abc"},
        BoundedCase{"append without terminator", true, "abcd", true, 4, "e", E_INVALIDARG, ""},
        BoundedCase{"append capacity 0", true, "", false, 0, "e", E_INVALIDARG, ""},
        BoundedCase{"append capacity too large", true, "a", false, 2147483648u, "e", E_INVALIDARG,
                    ""}),
    CaseName());

}  // namespace
