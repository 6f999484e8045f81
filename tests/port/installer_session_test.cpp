#include "tests/support/test_session.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const char sentinel = '#';

struct ReadCase {
    const char* name;
    std::string value;
    DWORD capacity;
    UINT result;
    std::string text;  // what the buffer holds afterwards
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class PropertyReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(PropertyReadTest, FollowsTheInstallerBufferRules)
{
    const ReadCase& c = GetParam();
    CTestSession session;
    session.SetProperty("KitProbe", c.value);
    std::vector<char> buffer(c.capacity + 4, sentinel);
    DWORD size = c.capacity;

    EXPECT_EQ(c.result, MsiGetPropertyA(session.Handle(), "KitProbe", buffer.data(), &size)) << c.name;
    EXPECT_EQ(c.value.size(), size) << c.name << ": the size reports the value's length";
    if (c.capacity > 0) {
        EXPECT_EQ(c.text, std::string(buffer.data())) << c.name;
    }
    for (size_t i = c.capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(sentinel, buffer[i]) << c.name << ": byte " << i << " past the capacity";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyReadTest,
    testing::Values(ReadCase{"fits", "abcdefg", 20, ERROR_SUCCESS, "abcdefg"},
                    ReadCase{"exact fit", "abcdefg", 8, ERROR_SUCCESS, "abcdefg"},
                    ReadCase{"one short", "abcdefg", 7, ERROR_MORE_DATA, "abcdef"},
                    ReadCase{"three characters", "abcdefg", 3, ERROR_MORE_DATA, "ab"},
                    ReadCase{"capacity 1", "abcdefg", 1, ERROR_MORE_DATA, ""}),
    CaseName());

TEST(InstallerSessionTest, UnsetPropertyReadsAsEmptyText)
{
    CTestSession session;
    char buffer[8] = "#######";
    DWORD size = sizeof(buffer);
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              MsiGetPropertyA(session.Handle(), "KitNeverSet", buffer, &size));
    EXPECT_EQ(0u, size);
    EXPECT_STREQ("", buffer);
}

TEST(InstallerSessionTest, PropertyNamesAreCaseSensitive)
{
    CTestSession session;
    session.SetProperty("KitProbe", "value");
    char buffer[16] = {};
    DWORD size = sizeof(buffer);
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              MsiGetPropertyA(session.Handle(), "KITPROBE", buffer, &size));
    EXPECT_STREQ("", buffer);
}

TEST(InstallerSessionTest, TargetPathEndsWithABackslashAndFollowsTheBufferRules)
{
    CTestSession session;
    session.SetTargetPath("_DBASE_", "C:\\KitTarget");
    const std::string expected = "C:\\KitTarget\\";

    char buffer[64];
    DWORD size = sizeof(buffer);
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
              MsiGetTargetPathA(session.Handle(), "_DBASE_", buffer, &size));
    EXPECT_EQ(expected, std::string(buffer));
    EXPECT_EQ(expected.size(), size);

    size = static_cast<DWORD>(expected.size());
    EXPECT_EQ(static_cast<UINT>(ERROR_MORE_DATA),
              MsiGetTargetPathA(session.Handle(), "_DBASE_", buffer, &size));
    EXPECT_EQ(expected.size(), size);
}

TEST(InstallerSessionTest, OnlyADeferredSessionRunsFromTheScript)
{
    CTestSession session;
    const MSIRUNMODE scriptModes[] = {MSIRUNMODE_SCHEDULED, MSIRUNMODE_ROLLBACK, MSIRUNMODE_COMMIT};
    for (MSIRUNMODE mode : scriptModes) {
        EXPECT_FALSE(MsiGetMode(session.Handle(), mode)) << "mode " << mode << " of an immediate session";
        EXPECT_FALSE(MsiGetMode(0, mode)) << "mode " << mode << " without a session";
    }
    if (!session.MakeDeferred("data")) {
        GTEST_SKIP() << "a package session opened in-process never runs from the installation script";
    }
    EXPECT_TRUE(MsiGetMode(session.Handle(), MSIRUNMODE_SCHEDULED));
    EXPECT_FALSE(MsiGetMode(session.Handle(), MSIRUNMODE_ROLLBACK));
    EXPECT_FALSE(MsiGetMode(session.Handle(), MSIRUNMODE_COMMIT));
}

TEST(InstallerSessionTest, UnknownFolderKeyFails)
{
    CTestSession session;
    char buffer[64] = {};
    DWORD size = sizeof(buffer);
    EXPECT_NE(static_cast<UINT>(ERROR_SUCCESS),
              MsiGetTargetPathA(session.Handle(), "KIT_NO_SUCH_FOLDER", buffer, &size));
}

}  // namespace
