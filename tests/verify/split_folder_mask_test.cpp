#include "tests/support/case_name.h"
#include "verify/split_folder_mask.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace {

struct SplitCase {
    const char* name;
    std::string path;
    std::string folder;
    const char* fmask;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.path << ")";
}

class SplitFolderMaskTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitFolderMaskTest, SplitsAsTheRuntimeSplitsPaths)
{
    const SplitCase& c = GetParam();
    char folder[MAX_PATH] = "";
    char fmask[MAX_PATH] = "*.*";
    SplitFolderMask(c.path.c_str(), folder, fmask);
    EXPECT_STREQ(folder, c.folder.c_str());
    EXPECT_STREQ(fmask, c.fmask);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitFolderMaskTest,
    testing::Values(
        SplitCase{"drive root", "E:\\", "E:\\", "*.*"},
        SplitCase{"drive alone", "E:", "E:\\", "*.*"},
        SplitCase{"folder with trailing backslash", "E:\\Disc\\Setup\\", "E:\\Disc\\Setup\\", "*.*"},
        SplitCase{"last folder without backslash", "E:\\Disc\\Setup", "E:\\Disc\\Setup\\", "*.*"},
        SplitCase{"mask as last component", "E:\\Disc\\*.cab", "E:\\Disc\\", "*.cab"},
        SplitCase{"folder with a period is a mask", "E:\\Disc\\Version.2", "E:\\Disc\\", "Version.2"},
        SplitCase{"forward slashes", "E:/Disc/Sub", "E:/Disc/Sub\\", "*.*"},
        SplitCase{"name alone stays without folder", "setup.msi", "", "setup.msi"},
        SplitCase{"empty leaves both", "", "", "*.*"},
        SplitCase{"longest directory part the runtime splits", "C:\\" + std::string(253, 'd') + "\\", "C:\\" + std::string(253, 'd') + "\\", "*.*"},
        // The runtime gives nothing for a longer part: no folder, so the check fails closed.
        SplitCase{"longer directory part", "C:\\" + std::string(254, 'd') + "\\", "", "*.*"},
        SplitCase{"260 characters leave both", "C:\\" + std::string(257, 'd'), "", "*.*"}),
    CaseName());

}  // namespace
