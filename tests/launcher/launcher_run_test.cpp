// Whole runs of the launcher against the port: the program sits in C:\APP\,
// drive E: is a CD-ROM drive, and the shell and message box record what they
// were asked. (Under Wine the real program runs on a staged CD-ROM drive.)
#include "launcher/launcher_run.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"

#include <windows.h>
#include <shellapi.h>
#include <port/host.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

namespace {

const std::string matchingDisc = "[disk]\r\nProduct=ABC\r\nId=7\r\n";

class LauncherRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, savedDirectory);
        PortForgetUserCalls();
        PortSetDrive('C', DRIVE_FIXED, scratch.Path() + "c/");
        PortSetDrive('E', DRIVE_CDROM, scratch.Path() + "e/");
        scratch.Write("c/APP/Tarvolen.exe", "MZ");
        scratch.Write("e/disk1.id", matchingDisc);
        PortSetModuleFileName("C:\\APP\\Tarvolen.exe");
    }

    void TearDown() override
    {
        SetCurrentDirectoryA(savedDirectory);
        PortSetModuleFileName("");
        PortSetDrive('C', DRIVE_UNKNOWN, "");
        PortSetDrive('E', DRIVE_UNKNOWN, "");
        EXPECT_EQ(0, PortOpenProcessHandles()) << "the process handle is closed before the run ends";
    }

    void Settings(const std::string& content) { scratch.Write("c/APP/Tarvolen.ini", content); }

    // The parameters of the one installer start, or "(none)".
    std::string Started() const
    {
        const auto& starts = PortShellStartCalls();
        if (starts.empty()) {
            return "(none)";
        }
        EXPECT_EQ(1u, starts.size());
        return starts.front().parameters;
    }

    CScratchFolder scratch;
    char savedDirectory[MAX_PATH] = {};
};

const std::string discSettings =
    "[Info]\r\nProduct=ABC\r\nId=7\r\n[Command]\r\nTransform=app.mst\r\n"
    "Setup=/i [%PACKAGE%] TRANSFORMS=[%TRANSFORM%] /qb\r\n";

TEST_F(LauncherRunTest, StartsTheInstallerOnTheMatchingDisc)
{
    Settings(discSettings);
    EXPECT_EQ(0, RunLauncher(GetModuleHandleA(nullptr), ""));

    ASSERT_EQ(1u, PortShellStartCalls().size());
    const PortShellStartCall& start = PortShellStartCalls().front();
    EXPECT_EQ("/i E:\\setup.msi TRANSFORMS=C:\\APP\\app.mst /qb", start.parameters);
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), start.size);
    EXPECT_EQ(static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS), start.mask);
    EXPECT_EQ(GetDesktopWindow(), start.owner);
    EXPECT_EQ("open", start.verb);
    EXPECT_EQ("MSIEXEC.EXE", start.file);
    EXPECT_FALSE(start.hasDirectory) << "the installer inherits the current directory";
    EXPECT_EQ("C:\\APP", start.inheritedDirectory) << "the launcher directory";
    EXPECT_EQ(SW_SHOW, start.show);
    EXPECT_TRUE(PortMessageBoxCalls().empty()) << "no box without Debug";
}

TEST_F(LauncherRunTest, NullCommandTailSearchesTheDiscs)
{
    Settings(discSettings);
    RunLauncher(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ("/i E:\\setup.msi TRANSFORMS=C:\\APP\\app.mst /qb", Started());
}

TEST_F(LauncherRunTest, EveryPlaceholderValue)
{
    Settings("[Info]\nProduct=ABC\nId=7\n[Command]\n"
             "Setup=[%SRCDIR%]|[%WINDIR%]|[%WINSYSDIR%]|[%PACKAGE%]|[%TRANSFORM%]\n");
    RunLauncher(GetModuleHandleA(nullptr), "");
    // Without a Transform key the transform path is the launcher directory.
    EXPECT_EQ("C:\\APP\\|C:\\windows|C:\\windows\\system32|E:\\setup.msi|C:\\APP\\", Started());
}

TEST_F(LauncherRunTest, ShortFormsNameTheSettingsAndTheSourceDirectory)
{
    // A volume with short names: the folder answers to both of its names.
    scratch.Write("c/Kit Files/Tarvolen Setup.exe", "MZ");
    std::filesystem::create_directory_symlink("Kit Files", scratch.Path() + "c/KITFIL~1");
    PortSetModuleFileName("C:\\Kit Files\\Tarvolen Setup.exe");
    PortSetShortPathName("C:\\Kit Files\\Tarvolen Setup.exe", "C:\\KITFIL~1\\TARVOL~1.EXE");
    PortSetShortPathName("C:\\Kit Files\\", "C:\\KITFIL~1\\");
    scratch.Write("c/Kit Files/Tarvolen Setup.ini", "[Command]\nSetup=the long name was read\n");
    scratch.Write("c/Kit Files/TARVOL~1.ini", "[Command]\nTransform=a.mst\nSetup=[%SRCDIR%] [%TRANSFORM%]\n");

    RunLauncher(GetModuleHandleA(nullptr), "E:\\setup.msi");
    EXPECT_EQ("C:\\KITFIL~1\\ C:\\KITFIL~1\\a.mst", Started());
    ASSERT_EQ(1u, PortShellStartCalls().size());
    EXPECT_EQ("C:\\KITFIL~1", PortShellStartCalls().front().inheritedDirectory);
}

TEST_F(LauncherRunTest, DebugShowsTheCommandLineBeforeTheStart)
{
    Settings("[Info]\nDebug=1\nProduct=ABC\nId=7\n[Command]\nSetup=/i [%PACKAGE%]\n");
    RunLauncher(GetModuleHandleA(nullptr), "");
    ASSERT_EQ(1u, PortMessageBoxCalls().size());
    const PortMessageBoxCall& box = PortMessageBoxCalls().front();
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ("/i E:\\setup.msi", box.text);
    EXPECT_EQ("Tarvolen Debug", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), box.type);
    ASSERT_EQ(1u, PortShellStartCalls().size());
    EXPECT_LT(box.order, PortShellStartCalls().front().order) << "the box comes first";
}

TEST_F(LauncherRunTest, DebugIsReadAlsoWithACommandTail)
{
    Settings("[Info]\nDebug=2\n[Command]\nSetup=/i [%PACKAGE%]\n");
    RunLauncher(GetModuleHandleA(nullptr), "D:\\other.msi");
    ASSERT_EQ(1u, PortMessageBoxCalls().size());
    EXPECT_EQ("/i D:\\other.msi", PortMessageBoxCalls().front().text);
}

TEST_F(LauncherRunTest, DebugZeroShowsNoBox)
{
    Settings("[Info]\nDebug=0\nProduct=ABC\nId=7\n[Command]\nSetup=/i [%PACKAGE%]\n");
    RunLauncher(GetModuleHandleA(nullptr), "");
    EXPECT_TRUE(PortMessageBoxCalls().empty());
    EXPECT_EQ("/i E:\\setup.msi", Started());
}

struct TailCase {
    const char* name;
    std::string tail;
    std::string started;  // parameters of the start, or "(none)"
};

void PrintTo(const TailCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandTailTest : public LauncherRunTest, public testing::WithParamInterface<TailCase> {};

TEST_P(CommandTailTest, SettlesThePackagePath)
{
    const TailCase& c = GetParam();
    Settings("[Info]\nProduct=ABC\nId=7\n[Command]\nSetup=/i [%PACKAGE%] /qn\n");
    EXPECT_EQ(0, RunLauncher(GetModuleHandleA(nullptr), c.tail.c_str()));
    EXPECT_EQ(c.started, Started()) << c.name;
}

const std::string longTail = "\"F:\\" + std::string(300, 'd') + "\\setup.msi\"";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandTailTest,
    testing::Values(
        TailCase{"empty tail searches the discs", "", "/i E:\\setup.msi /qn"},
        TailCase{"tail replaces the disc", "D:\\x.msi", "/i D:\\x.msi /qn"},
        TailCase{"quotes and blanks kept", "\"D:\\my setup.msi\"  ", "/i \"D:\\my setup.msi\"   /qn"},
        TailCase{"five characters end the run", "a.msi", "(none)"},
        TailCase{"one character ends the run", "x", "(none)"},
        TailCase{"six characters are accepted", "ab.msi", "/i ab.msi /qn"},
        TailCase{"brackets in the tail are not placeholders", "[%SRCDIR%].msi",
                 "/i [%SRCDIR%].msi /qn"},
        TailCase{"a long tail is kept whole", longTail, "/i " + longTail + " /qn"}),
    CaseName());

TEST_F(LauncherRunTest, NoMatchingDiscStartsNothing)
{
    Settings("[Info]\nProduct=ABC\nId=8\n[Command]\nSetup=/i [%PACKAGE%]\n");
    RunLauncher(GetModuleHandleA(nullptr), "");
    EXPECT_EQ("(none)", Started());
    EXPECT_TRUE(PortMessageBoxCalls().empty());
}

TEST_F(LauncherRunTest, MissingSettingsFileStartsNothing)
{
    EXPECT_EQ(0, RunLauncher(GetModuleHandleA(nullptr), "D:\\x.msi"));
    EXPECT_EQ("(none)", Started());
}

TEST_F(LauncherRunTest, EmptySetupStartsNothing)
{
    Settings("[Info]\nDebug=1\nProduct=ABC\nId=7\n[Command]\nSetup=\n");
    RunLauncher(GetModuleHandleA(nullptr), "");
    EXPECT_EQ("(none)", Started());
    EXPECT_TRUE(PortMessageBoxCalls().empty()) << "no box either";
}

TEST_F(LauncherRunTest, SetupIsCutByTheProfileAndNothingElse)
{
    // The template is read with 1024 characters of room; the transform path
    // and command line are not cut any further.
    std::string transform = std::string(300, 't');
    Settings("[Command]\nTransform=" + transform + "\nSetup=[%TRANSFORM%] " + std::string(1100, 'x') + "\n");
    RunLauncher(GetModuleHandleA(nullptr), "D:\\x.msi");
    std::string started = Started();
    std::string transformPath = "C:\\APP\\" + transform.substr(0, 259);
    EXPECT_EQ(transformPath + " " + std::string(1023 - 14, 'x'), started);
}

}  // namespace
