#include "base/bounded_text.h"

#include <cstring>

namespace {

const size_t maxCapacity = 2147483647;

}  // namespace

// Both look for the terminator with memchr, which stops at the first one it
// finds: paths are built this way for every file a check reads.
HRESULT CopyBounded(char* destination, size_t capacity, const char* source)
{
    if (capacity == 0 || capacity > maxCapacity || destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    const void* terminator = std::memchr(source, '\0', capacity);
    if (terminator != nullptr) {
        std::memmove(destination, source, static_cast<size_t>(static_cast<const char*>(terminator) - source) + 1);
        return S_OK;
    }
    std::memmove(destination, source, capacity - 1);
    destination[capacity - 1] = '\0';
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
}

HRESULT AppendBounded(char* destination, size_t capacity, const char* source)
{
    if (capacity > maxCapacity || destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    const void* terminator = capacity != 0 ? std::memchr(destination, '\0', capacity) : nullptr;
    if (terminator == nullptr) {
        return E_INVALIDARG;
    }
    size_t length = static_cast<size_t>(static_cast<const char*>(terminator) - destination);
    return CopyBounded(destination + length, capacity - length, source);
}
