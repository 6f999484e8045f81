// The kernel services the launcher calls besides the profile: module path,
// short path, current directory, system folders, drives, attributes, code
// page and comparison. The same checks run natively and under Wine.
#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <port/host.h>
#endif

namespace {

const char sentinel = '#';

std::string ModulePath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

TEST(ModuleFileNameTest, ExactFitAndOneShort)
{
    std::string path = ModulePath();
    ASSERT_FALSE(path.empty());
    DWORD length = static_cast<DWORD>(path.size());

    std::vector<char> buffer(length + 4, sentinel);
    EXPECT_EQ(length, GetModuleFileNameA(nullptr, buffer.data(), length + 1)) << "exact fit";
    EXPECT_EQ(path, buffer.data());

    std::fill(buffer.begin(), buffer.end(), sentinel);
    EXPECT_EQ(length, GetModuleFileNameA(nullptr, buffer.data(), length)) << "one short: the size comes back";
    // Whether the last character gives way to a terminator depends on the
    // Windows version; nothing is written past the size either way.
    EXPECT_EQ(path.substr(0, length - 1), std::string(buffer.data(), length - 1));
    EXPECT_EQ(sentinel, buffer[length]);
}

TEST(ModuleFileNameTest, OwnInstanceIsTheProgram)
{
    char path[MAX_PATH] = {};
    EXPECT_GT(GetModuleFileNameA(GetModuleHandleA(nullptr), path, MAX_PATH), 0u);
    EXPECT_EQ(ModulePath(), path);
}

TEST(ShortPathNameTest, SizeRules)
{
    CScratchFolder folder;
    std::string file = folder.Write("SETUP.INI", "[Info]\n");
    DWORD needed = GetShortPathNameA(file.c_str(), nullptr, 0);
    ASSERT_GT(needed, 1u) << "the size needed, terminator included";

    std::vector<char> buffer(needed + 4, sentinel);
    EXPECT_EQ(needed - 1, GetShortPathNameA(file.c_str(), buffer.data(), needed)) << "exact fit";
    EXPECT_EQ(needed - 1, std::string(buffer.data()).size());
    EXPECT_EQ("SETUP.INI", std::string(buffer.data()).substr(needed - 10)) << "an 8.3 name stays as it is";
    EXPECT_EQ(needed, GetShortPathNameA(file.c_str(), buffer.data(), needed - 1)) << "one short";
}

TEST(ShortPathNameTest, MissingPathFails)
{
    CScratchFolder folder;
    char buffer[MAX_PATH] = {};
    EXPECT_EQ(0u, GetShortPathNameA((folder.Path() + "absent.exe").c_str(), buffer, MAX_PATH));
}

TEST(ShortPathNameTest, FolderKeepsItsTrailingSeparator)
{
    CScratchFolder folder;
    char buffer[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(folder.Path().c_str(), buffer, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(buffer[length - 1] == '\\' || buffer[length - 1] == '/') << buffer;
}

TEST(CurrentDirectoryTest, SetThenGet)
{
    char saved[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    CScratchFolder folder;
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    char current[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    // Reported without the trailing separator it was given with.
    std::string expected = folder.Path().substr(0, folder.Path().size() - 1);
    EXPECT_EQ(expected.size(), length);
    EXPECT_EQ(expected, current);
    EXPECT_EQ(length + 1, GetCurrentDirectoryA(length, current)) << "one short";
    EXPECT_FALSE(SetCurrentDirectoryA((folder.Path() + "absent").c_str()));
    EXPECT_TRUE(SetCurrentDirectoryA(saved));
}

TEST(SystemFoldersTest, WindowsAndSystemDirectory)
{
    char windows[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    UINT windowsLength = GetWindowsDirectoryA(windows, MAX_PATH);
    UINT systemLength = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_GT(windowsLength, 0u);
    EXPECT_EQ(std::string(windows).size(), windowsLength);
    EXPECT_NE('\\', windows[windowsLength - 1]) << "no trailing separator below a root";
    EXPECT_EQ(std::string(windows) + "\\", std::string(system).substr(0, windowsLength + 1));
    EXPECT_EQ(std::string(system).size(), systemLength);

    char exact[MAX_PATH];
    std::fill(std::begin(exact), std::end(exact), sentinel);
    EXPECT_EQ(windowsLength, GetWindowsDirectoryA(exact, windowsLength + 1)) << "exact fit";
    EXPECT_STREQ(windows, exact);
    EXPECT_EQ(windowsLength + 1, GetWindowsDirectoryA(exact, windowsLength)) << "one short";
    EXPECT_EQ(systemLength + 1, GetSystemDirectoryA(exact, systemLength)) << "one short";
}

TEST(FileAttributesTest, FileFolderAndMissing)
{
    CScratchFolder folder;
    std::string file = folder.Write("disk1.id", "[disk]\n");
    DWORD fileAttributes = GetFileAttributesA(file.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, fileAttributes);
    EXPECT_EQ(0u, fileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0u, fileAttributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, GetFileAttributesA(folder.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder.Path() + "absent.id").c_str()));

    // Files on a disc carry no write permission.
    std::filesystem::permissions(file, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                           std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_NE(0u, GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);
}

std::vector<std::string> DriveRoots()
{
    DWORD needed = GetLogicalDriveStringsA(0, nullptr);
    std::vector<char> list(needed + 2, sentinel);
    EXPECT_EQ(needed - 1, GetLogicalDriveStringsA(needed, list.data())) << "exact fit";
    EXPECT_EQ('\0', list[needed - 1]) << "the list ends with an empty string";
    EXPECT_EQ(sentinel, list[needed]) << "nothing written past the list";
    std::vector<std::string> roots;
    for (const char* root = list.data(); *root != '\0'; root += std::string(root).size() + 1) {
        roots.push_back(root);
    }
    std::vector<char> tooSmall(needed + 2, sentinel);
    EXPECT_EQ(needed, GetLogicalDriveStringsA(needed - 1, tooSmall.data())) << "one short";
    EXPECT_EQ(sentinel, tooSmall[0]) << "one short writes nothing";
    return roots;
}

#ifndef _WIN32
class DriveTableTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            PortSetDrive(letter, DRIVE_UNKNOWN, "");
        }
    }
    CScratchFolder folder;
};

TEST_F(DriveTableTest, RootsInLetterOrderWithTheirTypes)
{
    PortSetDrive('e', DRIVE_CDROM, folder.Path());
    PortSetDrive('C', DRIVE_FIXED, folder.Path());
    PortSetDrive('D', DRIVE_REMOVABLE, folder.Path());
    EXPECT_EQ((std::vector<std::string>{"C:\\", "D:\\", "E:\\"}), DriveRoots());
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("D:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("e:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("Q:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("E:\\folder\\"));
}

TEST_F(DriveTableTest, NoDrivesAtAll)
{
    char list[4] = {sentinel, sentinel, sentinel, sentinel};
    EXPECT_EQ(1u, GetLogicalDriveStringsA(0, nullptr)) << "room for the closing zero only";
    EXPECT_EQ(0u, GetLogicalDriveStringsA(sizeof(list), list));
    EXPECT_EQ('\0', list[0]);
}
#else
TEST(DriveTest, RootsOfThePrefix)
{
    std::vector<std::string> roots = DriveRoots();
    ASSERT_FALSE(roots.empty());
    for (const std::string& root : roots) {
        EXPECT_EQ(3u, root.size()) << root;
        EXPECT_EQ(":\\", root.substr(1)) << root;
    }
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:\\"));
}
#endif

TEST(ErrorModeTest, SetAnswersTheModeItReplacesForTheWholeProcess)
{
    const UINT mode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    UINT saved = SetErrorMode(mode);
    EXPECT_EQ(mode, GetErrorMode());
    std::thread([] { SetErrorMode(SEM_NOGPFAULTERRORBOX); }).join();
    EXPECT_EQ(static_cast<UINT>(SEM_NOGPFAULTERRORBOX), SetErrorMode(saved)) << "set on another thread";
    EXPECT_EQ(saved, GetErrorMode());
}

TEST(AnsiTextTest, ComparisonIsCaseSensitive)
{
    EXPECT_EQ(0, lstrcmpA("ABC-7", "ABC-7"));
    EXPECT_NE(0, lstrcmpA("abc", "ABC"));
    EXPECT_NE(0, lstrcmpA("ABC", "ABC "));
    EXPECT_NE(0, lstrcmpA("", "A"));
}

TEST(AnsiTextTest, SingleByteSeparatorsAreNeverLeadBytes)
{
    for (char c : std::string("\\/:.")) {
        EXPECT_FALSE(IsDBCSLeadByte(static_cast<BYTE>(c))) << c;
    }
}

#ifndef _WIN32
TEST(AnsiTextTest, ChosenCodePageGivesItsLeadBytes)
{
    EXPECT_EQ(1252u, GetACP());
    EXPECT_FALSE(IsDBCSLeadByte(0x83));
    ASSERT_TRUE(PortSetCodePage(932));
    EXPECT_EQ(932u, GetACP());
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0x9F));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0)) << "half-width katakana are single bytes";
    EXPECT_TRUE(IsDBCSLeadByte(0xE0));
    EXPECT_TRUE(IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0xFD));
    EXPECT_FALSE(IsDBCSLeadByte(0x5C));
    EXPECT_FALSE(PortSetCodePage(12345)) << "an unknown code page is refused";
    EXPECT_EQ(932u, GetACP());
    ASSERT_TRUE(PortSetCodePage(1251));
    EXPECT_FALSE(IsDBCSLeadByte(0x83));
    ASSERT_TRUE(PortSetCodePage(1252));
}
#endif

}  // namespace
