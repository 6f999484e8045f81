// Which of Vesmark's rows run in each kind of installer run. The conditions are
// the ones the built package carries in its InstallExecuteSequence, evaluated
// by the installer itself in a session on that package, with the run's
// properties and the action state of the component whose files are encrypted.
#include "tests/support/case_name.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

namespace {

const char component[] = "VesmarkEncryptedFiles";

// What must run, one bit per group of rows that share a condition.
enum : unsigned {
    Checks = 1,  // the source checks and the ResolveSource they need
    CryptDeferred = 2,
    CryptImmediate = 4,
};

const struct {
    const char* action;
    unsigned group;
} vesmarkRows[] = {
    {"ResolveSource", Checks},
    {"VesmarkCheckItems", Checks},
    {"VesmarkCheckContentOfItems", Checks},
    {"VesmarkSetCryptFileDeferred", CryptDeferred},
    {"VesmarkCryptFileDeferred", CryptDeferred},
    {"VesmarkCryptFile", CryptImmediate},
};

struct RunCase {
    const char* name;
    const char* installed;  // the values of Installed, REMOVE, REINSTALL and VesmarkCryptMode
    const char* remove;
    const char* reinstall;
    const char* cryptMode;
    INSTALLSTATE action;  // of the component; INSTALLSTATE_UNKNOWN is "no action"
    unsigned runs;
};

void PrintTo(const RunCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string ConditionOf(MSIHANDLE session, const char* action)
{
    PMSIHANDLE database = MsiGetActiveDatabase(session);
    PMSIHANDLE view;
    PMSIHANDLE key = MsiCreateRecord(1);
    PMSIHANDLE row;
    MsiRecordSetStringA(key, 1, action);
    if (MsiDatabaseOpenViewA(database, "SELECT `Condition` FROM `InstallExecuteSequence` WHERE `Action` = ?",
                             &view) != ERROR_SUCCESS ||
        MsiViewExecute(view, key) != ERROR_SUCCESS || MsiViewFetch(view, &row) != ERROR_SUCCESS) {
        throw std::runtime_error(std::string(action) + " is not in the package's InstallExecuteSequence");
    }
    char condition[256] = {};
    DWORD size = sizeof condition;
    MsiRecordGetStringA(row, 1, condition, &size);
    return condition;
}

class PackageConditionsTest : public testing::TestWithParam<RunCase> {};

TEST_P(PackageConditionsTest, RunsExactlyTheRowsOfTheRun)
{
    const RunCase& c = GetParam();
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    PMSIHANDLE session;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenPackageExA(KIT_E2E_PACKAGE, 0, &session)) << KIT_E2E_PACKAGE;
    // Components have states only once costing has run.
    for (const char* costing : {"CostInitialize", "FileCost", "CostFinalize"}) {
        ASSERT_EQ(ERROR_SUCCESS, MsiDoActionA(session, costing)) << costing;
    }
    // The installer sets Installed only for a product registered on the machine,
    // which this package never is here, so each run states it.
    const char* properties[][2] = {
        {"Installed", c.installed}, {"REMOVE", c.remove}, {"REINSTALL", c.reinstall}, {"VesmarkCryptMode", c.cryptMode}};
    for (const auto& property : properties) {
        ASSERT_EQ(ERROR_SUCCESS, MsiSetPropertyA(session, property[0], property[1])) << property[0];
    }
    ASSERT_EQ(ERROR_SUCCESS, MsiSetComponentStateA(session, component, c.action));
    INSTALLSTATE installed = INSTALLSTATE_UNKNOWN;
    INSTALLSTATE action = INSTALLSTATE_DEFAULT;
    ASSERT_EQ(ERROR_SUCCESS, MsiGetComponentStateA(session, component, &installed, &action));
    ASSERT_EQ(c.action, action) << c.name << ": the installer did not keep the component's action state";

    for (const auto& row : vesmarkRows) {
        std::string condition = ConditionOf(session, row.action);
        MSICONDITION result = MsiEvaluateConditionA(session, condition.c_str());
        ASSERT_NE(MSICONDITION_ERROR, result) << row.action << ": the installer cannot read " << condition;
        bool runs = result != MSICONDITION_FALSE;
        bool expected = (c.runs & row.group) != 0;
        EXPECT_EQ(expected, runs) << c.name << ": " << row.action << " must " << (expected ? "" : "not ")
                                  << "run; its condition is " << (condition.empty() ? "empty" : condition);
    }
}

// A modify that keeps the component has the action state that the installer's
// own costing gives a component whose feature a run leaves alone: none (-1).
// Uninstall is in immediate mode so that each mode meets a component whose
// files are not copied.
INSTANTIATE_TEST_SUITE_P(
    Runs, PackageConditionsTest,
    testing::Values(
        RunCase{"first installation", "", "", "", "", INSTALLSTATE_LOCAL, Checks | CryptDeferred},
        RunCase{"first installation, immediate", "", "", "", "immediate", INSTALLSTATE_LOCAL, Checks | CryptImmediate},
        RunCase{"first installation, IMMEDIATE", "", "", "", "IMMEDIATE", INSTALLSTATE_LOCAL, Checks | CryptImmediate},
        RunCase{"repair", "1", "", "ALL", "", INSTALLSTATE_LOCAL, CryptDeferred},
        RunCase{"modify installing the component anew", "1", "", "", "", INSTALLSTATE_LOCAL,
                CryptDeferred},
        RunCase{"modify keeping the component", "1", "", "", "", INSTALLSTATE_UNKNOWN, 0},
        RunCase{"uninstall", "1", "ALL", "", "immediate", INSTALLSTATE_ABSENT, 0}),
    CaseName());

}  // namespace
