#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Blocks this large are placed on huge-page boundaries and advised as such:
// their first touch then costs one fault per 2 MiB instead of one per 4 KiB,
// which for a range of tens of megabytes is most of the time spent reading it.
const size_t hugePage = 2u << 20;

std::mutex& RegionsLock()
{
    static std::mutex lock;
    return lock;
}

// Base address -> length of every region VirtualAlloc gave out, so that
// VirtualFree releases exactly one of them, whole.
std::map<uintptr_t, size_t>& Regions()
{
    static std::map<uintptr_t, size_t> regions;
    return regions;
}

void* MapAligned(size_t length, size_t alignment)
{
    size_t padded = length + alignment;
    void* mapped = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    uintptr_t from = reinterpret_cast<uintptr_t>(mapped);
    uintptr_t start = (from + alignment - 1) & ~(static_cast<uintptr_t>(alignment) - 1);
    if (start > from) {
        munmap(mapped, start - from);
    }
    size_t after = from + padded - (start + length);
    if (after > 0) {
        munmap(reinterpret_cast<void*>(start + length), after);
    }
    return reinterpret_cast<void*>(start);
}

}  // namespace

LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect)
{
    if (address != nullptr || size == 0 || allocationType != (MEM_COMMIT | MEM_RESERVE) ||
        protect != PAGE_READWRITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (size > SIZE_MAX - 2 * hugePage) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t length = (size + page - 1) / page * page;
    bool huge = length >= hugePage;
    void* region = MapAligned(length, huge ? hugePage : page);
    if (region == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (huge) {
        // Only advice: without huge pages the region is ordinary memory.
        madvise(region, length, MADV_HUGEPAGE);
    }
    std::lock_guard<std::mutex> guard(RegionsLock());
    Regions()[reinterpret_cast<uintptr_t>(region)] = length;
    return region;
}

BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType)
{
    if (size != 0 || freeType != MEM_RELEASE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    size_t length = 0;
    {
        std::lock_guard<std::mutex> guard(RegionsLock());
        auto region = Regions().find(reinterpret_cast<uintptr_t>(address));
        if (region == Regions().end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        length = region->second;
        Regions().erase(region);
    }
    munmap(address, length);
    return TRUE;
}
