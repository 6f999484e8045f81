#include "launcher/locate_settings.h"
#include "launcher/path_parts.h"
#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <port/host.h>
#endif

namespace {

// Worked out here without the launcher's split: everything after the last
// separator is the file name, and the settings file replaces its extension.
std::string ShortModulePath()
{
    char path[MAX_PATH] = {};
    char shortPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return GetShortPathNameA(path, shortPath, MAX_PATH) != 0 ? shortPath : path;
}

TEST(LocateSettingsTest, SettingsBesideTheProgramUnderItsShortName)
{
    std::string program = ShortModulePath();
    size_t nameStart = program.find_last_of("\\/") + 1;
    size_t extension = program.rfind('.');
    ASSERT_GT(extension, nameStart);

    SettingsLocation location = LocateSettings(GetModuleHandleA(nullptr));
    EXPECT_EQ(program.substr(0, extension) + ".ini", location.settingsPath);
    EXPECT_EQ(program.substr(0, nameStart), location.launcherDirectory);
}

#ifndef _WIN32
// Natively the program's Windows path, its short form and its drive are set
// through the port, as Windows would report them for a program on a disc.
class ProgramOnDriveTest : public testing::Test {
protected:
    void SetUp() override { PortSetDrive('D', DRIVE_CDROM, scratch.Path()); }
    void TearDown() override
    {
        PortSetDrive('D', DRIVE_UNKNOWN, "");
        PortSetModuleFileName("");
    }
    CScratchFolder scratch;
};

TEST_F(ProgramOnDriveTest, ShortNameGivesTheSettingsName)
{
    scratch.Write("Setup Files/Install Product.exe", "MZ");
    PortSetModuleFileName("D:\\Setup Files\\Install Product.exe");
    PortSetShortPathName("D:\\Setup Files\\Install Product.exe", "D:\\SETUPF~1\\INSTAL~1.EXE");
    PortSetShortPathName("D:\\Setup Files\\", "D:\\SETUPF~1\\");

    SettingsLocation location = LocateSettings(GetModuleHandleA(nullptr));
    EXPECT_EQ("D:\\SETUPF~1\\INSTAL~1.ini", location.settingsPath);
    EXPECT_EQ("D:\\SETUPF~1\\", location.launcherDirectory);
    EXPECT_EQ("D:\\SETUPF~1\\", LocateSourceDirectory(GetModuleHandleA(nullptr)));
}

TEST_F(ProgramOnDriveTest, WithoutAShortFormTheLongFormIsUsed)
{
    // The program file does not exist, so the platform gives no short form.
    PortSetModuleFileName("D:\\Setup Files\\Install Product.exe");
    SettingsLocation location = LocateSettings(GetModuleHandleA(nullptr));
    EXPECT_EQ("D:\\Setup Files\\Install Product.ini", location.settingsPath);
    EXPECT_EQ("D:\\Setup Files\\", location.launcherDirectory);
    EXPECT_EQ("D:\\Setup Files\\", LocateSourceDirectory(GetModuleHandleA(nullptr)));
}

TEST_F(ProgramOnDriveTest, NoShortNamesOnTheVolume)
{
    scratch.Write("KIT/Tarvolen.exe", "MZ");
    PortSetModuleFileName("D:\\KIT\\Tarvolen.exe");
    SettingsLocation location = LocateSettings(GetModuleHandleA(nullptr));
    EXPECT_EQ("D:\\KIT\\Tarvolen.ini", location.settingsPath);
    EXPECT_EQ("D:\\KIT\\", location.launcherDirectory);
}
#endif

}  // namespace
