#include "launcher/install_disc.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

#ifndef _WIN32
#include <port/host.h>
#endif

namespace {

std::string DiscId(const std::string& product, const std::string& id)
{
    return "[disk]\r\nProduct=" + product + "\r\nId=" + id + "\r\n";
}

struct DiscCase {
    const char* name;
    std::string discIdFile;  // empty: no file at all
    std::string product;
    std::string id;
    bool matches;
};

void PrintTo(const DiscCase& c, std::ostream* os)
{
    *os << c.name;
}

class IsInstallDiscTest : public testing::TestWithParam<DiscCase> {};

TEST_P(IsInstallDiscTest, MatchesProductAndIdExactly)
{
    const DiscCase& c = GetParam();
    CScratchFolder disc;
    std::string path = disc.Path() + "disk1.id";
    if (!c.discIdFile.empty()) {
        disc.Write("disk1.id", c.discIdFile);
    }
    EXPECT_EQ(c.matches, IsInstallDisc(path, c.product, c.id)) << c.name;
}

const std::string id45 = "0123456789012345678901234567890123456789ABCDE";

INSTANTIATE_TEST_SUITE_P(
    Cases, IsInstallDiscTest,
    testing::Values(
        DiscCase{"same product and id", DiscId("ABC", "7"), "ABC", "7", true},
        DiscCase{"no file", "", "ABC", "7", false},
        DiscCase{"product differs in case", DiscId("abc", "7"), "ABC", "7", false},
        DiscCase{"id differs", DiscId("ABC", "8"), "ABC", "7", false},
        DiscCase{"id missing on the disc", "[disk]\nProduct=ABC\n", "ABC", "7", false},
        DiscCase{"product missing on both sides", "[disk]\nId=7\n", "", "7", false},
        DiscCase{"both empty on both sides", DiscId("", ""), "", "", false},
        DiscCase{"section and key names in other case", "[DISK]\nproduct=ABC\nID=7\n", "ABC", "7", true},
        DiscCase{"values in quotes", DiscId("\"ABC\"", "'7'"), "ABC", "7", true},
        // As mediakit discid writes README's example: blanks inside are part
        // of the value, blanks around it are not.
        DiscCase{"blanks inside", DiscId("Vesmark Desktop 5", "VD5 DISC 1"), "Vesmark Desktop 5",
                 "VD5 DISC 1", true},
        DiscCase{"blanks around", DiscId(" \tABC \t", " 7 "), " \tABC \t", " 7 ", false},
        DiscCase{"wrong section", "[Info]\nProduct=ABC\nId=7\n", "ABC", "7", false},
        // The disc's id is read as its first 39 characters; the settings' id
        // arrives cut the same way.
        DiscCase{"ids differing from character 40 on", DiscId("ABC", id45), "ABC", id45.substr(0, 39),
                 true},
        DiscCase{"ids differing at character 39", DiscId("ABC", id45), "ABC",
                 id45.substr(0, 38) + "X", false},
        DiscCase{"products differing from character 255 on",
                 DiscId(std::string(254, 'P') + "tail", "7"), std::string(254, 'P'), "7", true},
        DiscCase{"products differing at character 254",
                 DiscId(std::string(260, 'P'), "7"), std::string(253, 'P') + "Q", "7", false}),
    CaseName());

// Natively the drive table is empty here; under Wine the search walks the
// test prefix's own drives.
TEST(FindInstallDiscErrorModeTest, CallersModeComesBack)
{
    const UINT callerMode = SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX;
    UINT saved = SetErrorMode(callerMode);
    FindInstallDisc("ABC", "7");
    EXPECT_EQ(callerMode, GetErrorMode());
    SetErrorMode(saved);
}

#ifndef _WIN32
// Drives come from the port's drive table; under Wine the launcher's own
// test on staged CD-ROM drives covers the search.
class FindInstallDiscTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            PortSetDrive(letter, DRIVE_UNKNOWN, "");
        }
    }

    void Drive(char letter, UINT type, const std::string& discIdFile)
    {
        std::string folder = std::string(1, letter) + "/";
        if (discIdFile.empty()) {
            scratch.Write(folder + "readme.txt", "no identification here");
        } else {
            scratch.Write(folder + "disk1.id", discIdFile);
        }
        PortSetDrive(letter, type, scratch.Path() + folder);
    }

    CScratchFolder scratch;
};

TEST_F(FindInstallDiscTest, FixedDriveIsPassedOver)
{
    Drive('D', DRIVE_FIXED, DiscId("ABC", "7"));
    Drive('E', DRIVE_CDROM, DiscId("ABC", "7"));
    EXPECT_EQ("E:\\setup.msi", FindInstallDisc("ABC", "7"));
}

TEST_F(FindInstallDiscTest, OnlyCdromDrivesCount)
{
    Drive('D', DRIVE_REMOVABLE, DiscId("ABC", "7"));
    Drive('F', DRIVE_REMOTE, DiscId("ABC", "7"));
    Drive('G', DRIVE_RAMDISK, DiscId("ABC", "7"));
    Drive('H', DRIVE_FIXED, DiscId("ABC", "7"));
    EXPECT_EQ("", FindInstallDisc("ABC", "7"));
}

TEST_F(FindInstallDiscTest, FirstMatchingDiscInDriveOrderWins)
{
    Drive('G', DRIVE_CDROM, DiscId("ABC", "7"));
    Drive('F', DRIVE_CDROM, DiscId("ABC", "7"));
    EXPECT_EQ("F:\\setup.msi", FindInstallDisc("ABC", "7"));
}

TEST_F(FindInstallDiscTest, WalkGoesOnPastDrivesThatDoNotMatch)
{
    PortSetDrive('C', DRIVE_CDROM, scratch.Path() + "empty-tray/");  // no disc at all
    Drive('D', DRIVE_CDROM, "");                      // a disc without disk1.id
    Drive('E', DRIVE_CDROM, DiscId("ABC", "8"));      // another disc of the product
    Drive('F', DRIVE_CDROM, "[disk]\nProduct=ABC\n"); // no id
    Drive('H', DRIVE_CDROM, DiscId("ABC", "7"));
    EXPECT_EQ("H:\\setup.msi", FindInstallDisc("ABC", "7"));
}

TEST_F(FindInstallDiscTest, NoDrivesNoDisc)
{
    EXPECT_EQ("", FindInstallDisc("ABC", "7"));
}

TEST_F(FindInstallDiscTest, EveryProbeFailsCriticalErrorsAndTheCallersModeComesBack)
{
    PortSetDrive('C', DRIVE_CDROM, scratch.Path() + "empty-tray/");
    Drive('D', DRIVE_FIXED, DiscId("ABC", "7"));
    Drive('E', DRIVE_CDROM, DiscId("ABC", "8"));
    Drive('F', DRIVE_CDROM, DiscId("ABC", "7"));
    const UINT callerMode = SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX;
    for (const char* id : {"7", "9"}) {  // found on F:, and found nowhere
        UINT saved = SetErrorMode(callerMode);
        PortRecordProbes(true);
        FindInstallDisc("ABC", id);
        PortRecordProbes(false);
        EXPECT_EQ(callerMode, SetErrorMode(saved)) << "id " << id;
        std::set<std::string> probed;
        for (const PortProbeCall& probe : PortProbeCalls()) {
            probed.insert(probe.function);
            EXPECT_EQ(static_cast<UINT>(SEM_FAILCRITICALERRORS), probe.errorMode)
                << "id " << id << ": " << probe.function << " " << probe.path;
        }
        EXPECT_EQ((std::set<std::string>{"GetDriveTypeA", "GetFileAttributesA", "GetPrivateProfileStringA"}),
                  probed) << "id " << id;
    }
}

TEST_F(FindInstallDiscTest, EmptySettingsMatchNoDisc)
{
    Drive('E', DRIVE_CDROM, "[disk]\n");
    EXPECT_EQ("", FindInstallDisc("", ""));
}
#endif

}  // namespace
