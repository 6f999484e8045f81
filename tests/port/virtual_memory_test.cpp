// Pages from the system as the range cipher takes them: the port natively,
// the real allocator under Wine. Both must give zeroed, page-aligned, writable
// blocks and release each exactly once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(VirtualMemoryTest, GivesZeroedPagesAndReleasesThemOnce)
{
    // Below a page, past one, and past the size the port lays on huge pages.
    for (SIZE_T size : {SIZE_T(1), SIZE_T(4097), SIZE_T((2u << 20) + 3), SIZE_T(3u << 20)}) {
        BYTE* block = static_cast<BYTE*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(nullptr, block) << size << " bytes";
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(block) % 4096) << size << " bytes";
        SIZE_T nonZero = 0;
        for (SIZE_T i = 0; i < size; ++i) {
            nonZero += block[i] != 0;
        }
        EXPECT_EQ(0u, nonZero) << size << " bytes";
        block[0] = 1;
        block[size - 1] = 2;
        EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE)) << size << " bytes";
        EXPECT_FALSE(VirtualFree(block, 0, MEM_RELEASE)) << size << " bytes, released twice";
    }
}

TEST(VirtualMemoryTest, RefusesAnEmptyBlock)
{
    EXPECT_EQ(nullptr, VirtualAlloc(nullptr, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
