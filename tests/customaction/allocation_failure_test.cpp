// Every allocation an action makes, failed in turn: run N fails the Nth, until
// a run makes fewer than N and completes. Nothing may escape an export: the
// checks answer 1603 until that run, CryptFile 0 with each file as it was or
// wholly encrypted, never anything between.
#include "base/module_instance.h"
#include "crypt/range_cipher.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_session.h"
#include "tests/verify/sample_disc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <ostream>
#include <string>
#include <vector>

extern "C" UINT WINAPI CheckItems(MSIHANDLE session);
extern "C" UINT WINAPI CheckContentOfItems(MSIHANDLE session);
extern "C" UINT WINAPI CryptFile(MSIHANDLE session);

namespace {

// Only the action's own thread counts: a thread it starts would end the
// process on an exception before any barrier could see it.
thread_local bool counting = false;
long made = 0;
long failAt = 0;

bool FailsNow()
{
    return counting && ++made == failAt;
}

void* Allocate(std::size_t size)
{
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void* operator new(std::size_t size)
{
    void* block = FailsNow() ? nullptr : Allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return FailsNow() ? nullptr : Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

namespace {

// The files CryptFile is given: one range inside, one that lengthens the file, one missing.
const char* const cryptFiles = "inside.dat;short.dat;absent.dat";
const long rangeStart = 16;
const long rangeLength = 64;

std::string Content(size_t size, char seed)
{
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>(seed + i * 5);
    }
    return text;
}

std::string Encrypted(std::string file)
{
    file.resize(std::max(file.size(), static_cast<size_t>(rangeStart + rangeLength)), '\0');
    std::vector<BYTE> range(file.begin() + rangeStart, file.begin() + rangeStart + rangeLength);
    EXPECT_EQ(cipherOk, CipherTransform(cipherEncrypt, "barrier", range.data(), rangeLength));
    std::copy(range.begin(), range.end(), file.begin() + rangeStart);
    return file;
}

// A copy of the sample disc that both checks must refuse: an extra file and
// one changed byte, in the folder the walk reaches last.
std::string DamagedDisc(const CScratchFolder& scratch)
{
    CopySampleDisc(scratch);
    scratch.Write("Templates/extra.txt", "not on the disc");
    const std::string quote = scratch.Path() + "Templates/quote.rtf";
    SetReadOnly(quote, false);
    std::string content = scratch.Read("Templates/quote.rtf");
    content[5] ^= 1;
    scratch.Write("Templates/quote.rtf", content);
    SetReadOnly(quote, true);
    return scratch.Path();
}

enum Source { sampleDisc, damagedDisc, noSource };

struct BarrierCase {
    const char* name;
    UINT(WINAPI* action)(MSIHANDLE);
    Source source;
    // The answer of the run that completes. A run whose allocation failed
    // answers 1603 from a check, 0 from CryptFile, or this same answer when
    // the failure was one the standard library works around (a sort's spare
    // buffer): a damaged disc is refused whatever fails.
    UINT completed;
};

void PrintTo(const BarrierCase& c, std::ostream* os)
{
    *os << c.name;
}

class AllocationFailureTest : public testing::TestWithParam<BarrierCase> {
protected:
    void SetUp() override { moduleInstance = GetModuleHandleA(nullptr); }
    void TearDown() override { moduleInstance = nullptr; }
};

TEST_P(AllocationFailureTest, EveryFailedAllocationEndsInTheActionsResult)
{
    const BarrierCase& c = GetParam();
    const bool crypt = c.source == noSource;
    const UINT whenFailed = crypt ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
    CScratchFolder scratch;
    const std::string inside = Content(100, 'i');
    const std::string shorter = Content(50, 's');
    CTestSession session;
    session.SetProperty("SourceDir", c.source == damagedDisc ? DamagedDisc(scratch) : SampleDisc());
    session.SetTargetPath("_DBASE_", scratch.Path());
    session.SetProperty("Files", cryptFiles);
    session.SetProperty("RectPyrc", std::to_string(rangeStart) + ";" + std::to_string(rangeLength));
    session.SetProperty("ProductNameShort", "barrier");

    long completedAt = 0;
    int workedAround = 0;
    for (long n = 1; completedAt == 0 && n < 100000; ++n) {
        if (crypt) {
            scratch.Write("inside.dat", inside);
            scratch.Write("short.dat", shorter);
        }
        made = 0;
        failAt = n;
        counting = true;
        UINT result = c.action(session.Handle());
        counting = false;
        bool failed = made >= n;
        completedAt = failed ? 0 : n;
        workedAround += failed && result == c.completed && result != whenFailed ? 1 : 0;
        ASSERT_TRUE(result == c.completed || (failed && result == whenFailed))
            << c.name << ": " << result << " when allocation " << n << " of " << made << " failed";
        if (!crypt) {
            continue;
        }
        for (const auto& file : {std::make_pair("inside.dat", inside), std::make_pair("short.dat", shorter)}) {
            const std::string now = scratch.Read(file.first);
            if (failed) {
                EXPECT_TRUE(now == file.second || now == Encrypted(file.second))
                    << file.first << " half processed when allocation " << n << " failed";
            } else {
                EXPECT_TRUE(now == Encrypted(file.second)) << file.first << " not encrypted by the complete run";
            }
        }
    }
    ASSERT_NE(0, completedAt) << c.name << " never completed";
    std::cout << c.name << ": " << completedAt - 1 << " allocation(s) failed in turn, " << workedAround
              << " of them worked around\n";
}

INSTANTIATE_TEST_SUITE_P(
    Exports, AllocationFailureTest,
    testing::Values(BarrierCase{"CheckItems on the sample disc", &CheckItems, sampleDisc, ERROR_SUCCESS},
                    BarrierCase{"CheckItems on a damaged disc", &CheckItems, damagedDisc, ERROR_INSTALL_FAILURE},
                    BarrierCase{"CheckContentOfItems on the sample disc", &CheckContentOfItems, sampleDisc,
                                ERROR_SUCCESS},
                    BarrierCase{"CheckContentOfItems on a damaged disc", &CheckContentOfItems, damagedDisc,
                                ERROR_INSTALL_FAILURE},
                    BarrierCase{"CryptFile", &CryptFile, noSource, ERROR_SUCCESS}),
    CaseName());

}  // namespace
