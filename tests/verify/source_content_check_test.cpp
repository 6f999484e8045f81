// CheckContentOfItems end to end on the generated sample disc, against the
// manifest the library embeds.
#include "base/module_instance.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_session.h"
#include "tests/verify/sample_disc.h"
#include "verify/mem_reader.h"
#include "verify/source_content_check.h"

#ifndef _WIN32
#include <port/host.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

extern "C" UINT WINAPI CheckContentOfItems(MSIHANDLE session);

namespace {

namespace fs = std::filesystem;

// Flips one bit of the byte at offset, keeping the size.
void ChangeOneByte(const fs::path& file, std::streamoff offset)
{
    SetReadOnly(file, false);
    std::fstream data(file, std::ios::in | std::ios::out | std::ios::binary);
    data.seekg(offset);
    char byte = 0;
    data.get(byte);
    data.seekp(offset);
    data.put(static_cast<char>(byte ^ 1));
}

UINT CheckThroughTheInstaller(const std::string& source)
{
    CTestSession session;
    session.SetProperty("SourceDir", source);
    return CheckContentOfItems(session.Handle());
}

class SourceContentCheckTest : public testing::Test {
protected:
    void SetUp() override { moduleInstance = GetModuleHandleA(nullptr); }
    void TearDown() override
    {
        moduleInstance = nullptr;
#ifndef _WIN32
        PortSetCryptoFailure("");
#endif
    }
};

TEST_F(SourceContentCheckTest, EmbeddedManifestHasTheSampleShape)
{
    CMemReader reader(moduleInstance, 103);
    ASSERT_TRUE(reader.IsValid());
    char line[2048];
    int rootRows = 0;
    int folderRows = 0;
    LONG length = 0;
    while ((length = reader.ReadLine(line, 2047)) > 0) {
        std::string row(line, static_cast<size_t>(length));
        size_t tab = row.find('\t');
        ASSERT_NE(tab, std::string::npos) << row;
        EXPECT_EQ(row.size() - tab - 1, 32u) << row;
        EXPECT_EQ(row.find("setup.msi"), std::string::npos);
        int backslashes = 0;
        for (char c : row.substr(0, tab)) {
            backslashes += c == '\\' ? 1 : 0;
        }
        (backslashes == 1 ? rootRows : folderRows) += 1;
        EXPECT_LE(backslashes, 2) << row;
    }
    EXPECT_EQ(rootRows, 11);
    EXPECT_EQ(folderRows, 33);
}

TEST_F(SourceContentCheckTest, SampleDiscPasses)
{
    EXPECT_EQ(CheckThroughTheInstaller(SampleDisc()), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(CheckSourceContent(SampleDisc().c_str(), 1), 1);
}

struct DiscChange {
    const char* name;
    std::function<void(const fs::path& disc)> change;
    bool passes;
};

void PrintTo(const DiscChange& c, std::ostream* os)
{
    *os << c.name;
}

class SampleDiscContentTest : public SourceContentCheckTest,
                              public testing::WithParamInterface<DiscChange> {};

TEST_P(SampleDiscContentTest, CheckContentOfItemsTellsChangedContent)
{
    const DiscChange& c = GetParam();
    CScratchFolder scratch;
    CopySampleDisc(scratch);
    c.change(fs::path(scratch.Path()));
    EXPECT_EQ(CheckThroughTheInstaller(scratch.Path()),
              static_cast<UINT>(c.passes ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SampleDiscContentTest,
    testing::Values(
        DiscChange{"faithful copy", [](const fs::path&) {}, true},
        DiscChange{"one byte of a root file", [](const fs::path& d) { ChangeOneByte(d / "license.txt", 40); }, false},
        DiscChange{"last byte of a help page", [](const fs::path& d) {
            ChangeOneByte(d / "Help" / "taxes.htm", static_cast<std::streamoff>(fs::file_size(d / "Help" / "taxes.htm")) - 1);
        }, false},
        DiscChange{"one byte of an unlisted file", [](const fs::path& d) {
            ChangeOneByte(d / "Samples" / "Reports" / "cash-flow.klr", 100);
        }, true},
        DiscChange{"folder renamed to upper case and a file in it changed", [](const fs::path& d) {
            SetReadOnly(d, false);
            fs::rename(d / "Help", d / "HELP");
            ChangeOneByte(d / "HELP" / "index.htm", 7);
        }, false},
        DiscChange{"setup package replaced", [](const fs::path& d) { ChangeOneByte(d / "setup.msi", 3); }, true},
        DiscChange{"listed file missing", [](const fs::path& d) {
            SetReadOnly(d / "readme.txt", false);
            fs::remove(d / "readme.txt");
        }, true},
        DiscChange{"listed file emptied", [](const fs::path& d) {
            SetReadOnly(d / "readme.txt", false);
            fs::resize_file(d / "readme.txt", 0);
        }, false},
        DiscChange{"extra files and folders", [](const fs::path& d) {
            fs::create_directory(d / "Extras");
            std::ofstream(d / "Extras" / "notes.txt") << "notes";
            std::ofstream(d / "Help" / "desktop.ini") << "[.ShellClassInfo]";
        }, true}),
    CaseName());

TEST_F(SourceContentCheckTest, SourceFolderNamedWithoutBackslashIsTheSame)
{
    std::string source = SampleDisc() + "Help";
    EXPECT_EQ(CheckSourceContent(source.c_str(), 1), 1);
    CScratchFolder scratch;
    CopySampleDisc(scratch);
    ChangeOneByte(fs::path(scratch.Path()) / "readme.txt", 0);
    std::string changed = scratch.Path();
    changed.pop_back();
    EXPECT_EQ(CheckSourceContent(changed.c_str(), 1), 0);
}

TEST_F(SourceContentCheckTest, NoSourceOrAMissingOneFails)
{
    // An empty source names no folder; the current directory is never checked instead.
    EXPECT_EQ(CheckSourceContent("", 1), 0);
    EXPECT_EQ(CheckThroughTheInstaller(""), static_cast<UINT>(ERROR_INSTALL_FAILURE));
    EXPECT_EQ(CheckSourceContent((SampleDisc() + "absent\\").c_str(), 1), 0);
}

TEST_F(SourceContentCheckTest, WithoutTheManifestResourceTheCheckFails)
{
#ifdef _WIN32
    moduleInstance = GetModuleHandleA("kernel32.dll");
#else
    moduleInstance = PortCreateModule();
#endif
    EXPECT_EQ(CheckSourceContent(SampleDisc().c_str(), 1), 0);
}

#ifndef _WIN32
// Natively the port's provider can be made to fail; under Wine it is the real one.
TEST_F(SourceContentCheckTest, WithoutCryptoApiListedFilesFailAndOthersPass)
{
    PortSetCryptoFailure("CryptAcquireContextA");
    EXPECT_EQ(CheckThroughTheInstaller(SampleDisc()), static_cast<UINT>(ERROR_INSTALL_FAILURE));
    CScratchFolder scratch;
    scratch.Write("Other/unlisted.txt", "not in the manifest");
    EXPECT_EQ(CheckThroughTheInstaller(scratch.Path()), static_cast<UINT>(ERROR_SUCCESS));
}
#endif

}  // namespace

#if defined(_WIN32) && defined(VESMARK_DLL)
// The library as the installer loads it: its own BIN 103, found through the
// module handle its DllMain kept, and the system's real CryptoAPI.
TEST(VesmarkLibraryTest, CheckContentOfItemsOfTheBuiltLibraryTellsAChangedByte)
{
    HMODULE library = LoadLibraryA(VESMARK_DLL);
    ASSERT_NE(library, nullptr) << VESMARK_DLL;
    typedef UINT(WINAPI * CheckAction)(MSIHANDLE);
    auto checkContent = reinterpret_cast<CheckAction>(
        reinterpret_cast<void*>(GetProcAddress(library, "CheckContentOfItems")));
    ASSERT_NE(checkContent, nullptr);
    CTestSession session;
    session.SetProperty("SourceDir", SampleDisc());
    EXPECT_EQ(checkContent(session.Handle()), static_cast<UINT>(ERROR_SUCCESS));
    CScratchFolder scratch;
    CopySampleDisc(scratch);
    ChangeOneByte(fs::path(scratch.Path()) / "Help" / "index.htm", 7);
    session.SetProperty("SourceDir", scratch.Path());
    EXPECT_EQ(checkContent(session.Handle()), static_cast<UINT>(ERROR_INSTALL_FAILURE));
    FreeLibrary(library);
}
#endif
