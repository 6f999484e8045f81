#include "customaction/source_check_entry.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_session.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

extern "C" UINT WINAPI CheckItems(MSIHANDLE session);
extern "C" UINT WINAPI CheckContentOfItems(MSIHANDLE session);
extern "C" UINT WINAPI CryptFile(MSIHANDLE session);

namespace {

struct BodyRecord {
    int calls = 0;
    std::string sourcePath;
    int recursive = -1;
    int answer = 1;
};
BodyRecord record;

int RecordingBody(const char* sourcePath, int recursive)
{
    ++record.calls;
    record.sourcePath = sourcePath;
    record.recursive = recursive;
    return record.answer;
}

struct EntryCase {
    const char* name;
    bool setSource;
    size_t sourceLength;
    int bodyAnswer;
    int expectedCalls;
    UINT expectedResult;
};

void PrintTo(const EntryCase& c, std::ostream* os)
{
    *os << c.name;
}

class SourceCheckEntryTest : public testing::TestWithParam<EntryCase> {};

TEST_P(SourceCheckEntryTest, ReadsSourceDirAndMapsTheBodyResult)
{
    const EntryCase& c = GetParam();
    CTestSession session;
    // A drive-qualified path of the wanted length: "C:\" then letters.
    std::string source = "C:\\" + std::string(c.sourceLength - 3, 'd');
    if (c.setSource) {
        session.SetProperty("SourceDir", source);
    }
    record = BodyRecord();
    record.answer = c.bodyAnswer;

    EXPECT_EQ(c.expectedResult, RunSourceCheck(session.Handle(), RecordingBody)) << c.name;
    ASSERT_EQ(c.expectedCalls, record.calls) << c.name;
    if (c.expectedCalls == 1) {
        EXPECT_EQ(c.setSource ? source : std::string(), record.sourcePath) << c.name;
        EXPECT_EQ(1, record.recursive) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourceCheckEntryTest,
    testing::Values(
        EntryCase{"pass maps to success", true, 20, 1, 1, ERROR_SUCCESS},
        EntryCase{"fail maps to 1603", true, 20, 0, 1, ERROR_INSTALL_FAILURE},
        EntryCase{"any nonzero answer passes", true, 20, 7, 1, ERROR_SUCCESS},
        EntryCase{"negative answer passes", true, 20, -1, 1, ERROR_SUCCESS},
        EntryCase{"259 characters fit", true, 259, 1, 1, ERROR_SUCCESS},
        EntryCase{"260 characters do not fit", true, 260, 1, 0, ERROR_INSTALL_FAILURE},
        EntryCase{"long value never reaches the body", true, 600, 1, 0, ERROR_INSTALL_FAILURE},
        EntryCase{"unset reads as empty", false, 3, 1, 1, ERROR_SUCCESS}),
    CaseName());

TEST(CustomActionExportsTest, ChecksFailWhenSourceDirDoesNotFit)
{
    CTestSession session;
    session.SetProperty("SourceDir", "C:\\" + std::string(257, 'x'));
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), CheckItems(session.Handle()));
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), CheckContentOfItems(session.Handle()));
}

TEST(CustomActionExportsTest, ChecksFailOnAMissingSourceFolder)
{
    CScratchFolder scratch;
    CTestSession session;
    session.SetProperty("SourceDir", scratch.Path() + "absent\\");
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), CheckItems(session.Handle()));
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), CheckContentOfItems(session.Handle()));
}

TEST(CustomActionExportsTest, CryptFileNeverFailsTheInstallation)
{
    CTestSession session;
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), CryptFile(session.Handle()));
    session.SetProperty("Files", std::string(1400, 'f'));
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), CryptFile(session.Handle()));
}

}  // namespace
