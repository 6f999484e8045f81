// CheckItems end to end on the generated sample disc, against the listing
// the library embeds.
#include "base/module_instance.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_session.h"
#include "tests/verify/sample_disc.h"
#include "verify/source_listing_check.h"

#ifndef _WIN32
#include <port/host.h>
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

extern "C" UINT WINAPI CheckItems(MSIHANDLE session);

namespace {

namespace fs = std::filesystem;

void Replace(const fs::path& file, const std::string& content)
{
    SetReadOnly(file, false);
    fs::remove(file);
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    SetReadOnly(file, true);
}

class SourceListingCheckTest : public testing::Test {
protected:
    void SetUp() override { moduleInstance = GetModuleHandleA(nullptr); }
    void TearDown() override { moduleInstance = nullptr; }
};

TEST_F(SourceListingCheckTest, SampleDiscPassesThroughCheckItems)
{
    CTestSession session;
    session.SetProperty("SourceDir", SampleDisc());
    EXPECT_EQ(CheckItems(session.Handle()), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(CheckSourceListing(SampleDisc().c_str(), 1), 1);
}

TEST_F(SourceListingCheckTest, SourceNamedWithoutTrailingSeparator)
{
    // The listing's root is the disc, so a sub-folder as the source differs from it.
    EXPECT_EQ(CheckSourceListing((SampleDisc() + "Samples").c_str(), 1), 0);
    CScratchFolder scratch;
    CopySampleDisc(scratch);
    std::string source = scratch.Path();
    source.pop_back();
    EXPECT_EQ(CheckSourceListing(source.c_str(), 1), 1);
}

struct DiscChange {
    const char* name;
    std::function<void(const fs::path& disc)> change;
    int expected;
};

void PrintTo(const DiscChange& c, std::ostream* os)
{
    *os << c.name;
}

class SampleDiscChangeTest : public SourceListingCheckTest,
                             public testing::WithParamInterface<DiscChange> {};

TEST_P(SampleDiscChangeTest, CheckItemsTellsChangedDiscs)
{
    const DiscChange& c = GetParam();
    CScratchFolder scratch;
    CopySampleDisc(scratch);
    c.change(fs::path(scratch.Path()));
    CTestSession session;
    session.SetProperty("SourceDir", scratch.Path());
    EXPECT_EQ(CheckItems(session.Handle()),
              static_cast<UINT>(c.expected == 1 ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SampleDiscChangeTest,
    testing::Values(
        DiscChange{"faithful copy", [](const fs::path&) {}, 1},
        DiscChange{"extra file", [](const fs::path& d) { std::fclose(std::fopen((d / "Help" / "desktop.ini").string().c_str(), "wb")); }, 0},
        DiscChange{"missing file", [](const fs::path& d) { SetReadOnly(d / "Samples" / "Reports" / "cash-flow.klr", false); fs::remove(d / "Samples" / "Reports" / "cash-flow.klr"); }, 0},
        DiscChange{"missing folder", [](const fs::path& d) {
            for (const auto& e : fs::directory_iterator(d / "Redist" / "Fonts")) SetReadOnly(e.path(), false);
            fs::remove_all(d / "Redist" / "Fonts");
        }, 0},
        DiscChange{"extra folder", [](const fs::path& d) { fs::create_directory(d / "Templates" / "Office"); }, 0},
        DiscChange{"size changed", [](const fs::path& d) { Replace(d / "readme.txt", "shorter"); }, 0},
        DiscChange{"copied to a hard disk, writable", [](const fs::path& d) { SetReadOnly(d / "license.txt", false); }, 0},
        DiscChange{"name in other letter case", [](const fs::path& d) { fs::rename(d / "Templates" / "Home", d / "Templates" / "HOME"); }, 1},
        DiscChange{"setup package replaced", [](const fs::path& d) { Replace(d / "setup.msi", std::string(70000, 'm')); }, 1}),
    CaseName());

TEST_F(SourceListingCheckTest, MissingSourceFails)
{
    EXPECT_EQ(CheckSourceListing((SampleDisc() + "absent\\").c_str(), 1), 0);
    // An empty source names no folder; the current directory is never checked instead.
    EXPECT_EQ(CheckSourceListing("", 1), 0);
}

TEST_F(SourceListingCheckTest, WithoutTheListingResourceTheCheckFails)
{
#ifdef _WIN32
    moduleInstance = GetModuleHandleA("kernel32.dll");
#else
    moduleInstance = PortCreateModule();
#endif
    EXPECT_EQ(CheckSourceListing(SampleDisc().c_str(), 1), 0);
}

}  // namespace

#if defined(_WIN32) && defined(VESMARK_DLL)
// The library as the installer loads it: its own BIN 101, found through the
// module handle its DllMain kept.
TEST(VesmarkLibraryTest, CheckItemsOfTheBuiltLibraryPassesTheSampleDisc)
{
    HMODULE library = LoadLibraryA(VESMARK_DLL);
    ASSERT_NE(library, nullptr) << VESMARK_DLL;
    typedef UINT(WINAPI * CheckAction)(MSIHANDLE);
    auto checkItems = reinterpret_cast<CheckAction>(
        reinterpret_cast<void*>(GetProcAddress(library, "CheckItems")));
    ASSERT_NE(checkItems, nullptr);
    CTestSession session;
    session.SetProperty("SourceDir", SampleDisc());
    EXPECT_EQ(checkItems(session.Handle()), static_cast<UINT>(ERROR_SUCCESS));
    CScratchFolder scratch;
    CopySampleDisc(scratch);
    std::fclose(std::fopen((scratch.Path() + "extra.txt").c_str(), "wb"));
    session.SetProperty("SourceDir", scratch.Path());
    EXPECT_EQ(checkItems(session.Handle()), static_cast<UINT>(ERROR_INSTALL_FAILURE));
    FreeLibrary(library);
}
#endif
