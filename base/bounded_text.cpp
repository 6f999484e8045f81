#include "base/bounded_text.h"

namespace {

const size_t maxCapacity = 2147483647;

}  // namespace

HRESULT CopyBounded(char* destination, size_t capacity, const char* source)
{
    if (capacity == 0 || capacity > maxCapacity || destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    size_t copied = 0;
    while (copied < capacity && source[copied] != '\0') {
        destination[copied] = source[copied];
        ++copied;
    }
    if (copied < capacity) {
        destination[copied] = '\0';
        return S_OK;
    }
    destination[capacity - 1] = '\0';
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
}

HRESULT AppendBounded(char* destination, size_t capacity, const char* source)
{
    if (capacity > maxCapacity || destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    size_t length = 0;
    while (length < capacity && destination[length] != '\0') {
        ++length;
    }
    if (length == capacity) {
        return E_INVALIDARG;
    }
    return CopyBounded(destination + length, capacity - length, source);
}
