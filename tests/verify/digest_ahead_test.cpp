// CDigestAhead: digests read ahead on worker threads are the ones a single
// digester gives, in the order asked, whatever the number of workers, and a
// batch dropped part-way leaves the next one right.
#include "tests/support/scratch_folder.h"
#include "verify/digest_ahead.h"

#ifndef _WIN32
#include <port/host.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

// Files of assorted sizes (empty, one read, chunked), a missing one and a
// folder among them: the last two give no digest.
std::vector<std::string> MakeFiles(CScratchFolder& scratch, size_t count)
{
    std::vector<std::string> paths;
    for (size_t i = 0; i < count; ++i) {
        std::string name = "file" + std::to_string(i);
        if (i % 17 == 5) {
            paths.push_back(scratch.Path() + name + ".absent");
        } else if (i % 17 == 11) {
            scratch.Write(name + "/inside.txt", "x");
            paths.push_back(scratch.Path() + name);
        } else {
            size_t size = i % 23 == 7 ? md5WholeReadLimit + 3 * i : (i * 7919) % 5000;
            paths.push_back(scratch.Write(name + ".bin", std::string(size, static_cast<char>('a' + i % 26))));
        }
    }
    return paths;
}

std::string Text(const char* digest)
{
    return digest != nullptr ? digest : "(none)";
}

std::vector<std::string> OneByOne(const std::vector<std::string>& paths)
{
    CFileMD5 digester;
    std::vector<std::string> digests;
    for (const std::string& path : paths) {
        digests.push_back(Text(digester.Digest(path.c_str())));
    }
    return digests;
}

class DigestAheadTest : public testing::TestWithParam<unsigned> {};

TEST_P(DigestAheadTest, BatchesGiveTheDigestsOfOneDigester)
{
    CScratchFolder scratch;
    std::vector<std::string> paths = MakeFiles(scratch, 120);
    std::vector<std::string> expected = OneByOne(paths);
    CDigestAhead ahead(GetParam());
    // Two rounds: the second runs on workers started by the first.
    for (int round = 0; round < 2; ++round) {
        ahead.Clear(paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(ahead.Add(paths[i].c_str()), i);
            if (i % 16 == 15) {
                ahead.Launch();
            }
        }
        ahead.Launch();
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(Text(ahead.Take(i)), expected[i]) << paths[i];
        }
    }
    EXPECT_EQ(ahead.Take(paths.size()), nullptr);
}

TEST_P(DigestAheadTest, BatchDroppedPartWayLeavesTheNextRight)
{
    CScratchFolder scratch;
    std::vector<std::string> paths = MakeFiles(scratch, 60);
    std::vector<std::string> expected = OneByOne(paths);
    CDigestAhead ahead(GetParam());
    ahead.Clear(paths.size());
    for (const std::string& path : paths) {
        ahead.Add(path.c_str());
    }
    ahead.Launch();
    EXPECT_EQ(Text(ahead.Take(1)), expected[1]);
    // The next batch asks in another order, and after a release the workers start again.
    for (int round = 0; round < 2; ++round) {
        ahead.Clear(paths.size());
        for (size_t i = paths.size(); i-- > 0;) {
            ahead.Add(paths[i].c_str());
        }
        ahead.Launch();
        for (size_t i = 0; i < paths.size(); i += 3) {
            EXPECT_EQ(Text(ahead.Take(i)), expected[paths.size() - 1 - i]);
        }
        ahead.Release();
    }
}

INSTANTIATE_TEST_SUITE_P(Workers, DigestAheadTest, testing::Values(0u, 1u, 3u),
                         [](const testing::TestParamInfo<unsigned>& info) {
                             return std::to_string(info.param) + "Workers";
                         });

#ifndef _WIN32
// Natively drives are mapped by hand: a CD-ROM gets one reader, a fixed disk
// as many as the processors allow.
TEST(DigestAheadWorkersTest, NoWorkersOnACdRom)
{
    CScratchFolder scratch;
    PortSetDrive('Q', DRIVE_CDROM, scratch.Path());
    EXPECT_EQ(CDigestAhead::WorkersFor("Q:\\Folder\\"), 0u);
    PortSetDrive('Q', DRIVE_FIXED, scratch.Path());
    unsigned processors = std::thread::hardware_concurrency();
    EXPECT_EQ(CDigestAhead::WorkersFor("Q:\\Folder\\"), processors < 2 ? 0u : std::min(processors, 4u) - 1);
    PortSetDrive('Q', 0, "");
}
#endif

}  // namespace
