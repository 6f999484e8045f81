// Arbitrary bytes as a manifest: loading always ends; a line longer than the
// loader's limit never loads whole; a manifest that loads whole has rows, and
// every row is a backslash-led path that fits its buffer and 32 upper-case
// hex digits; a walk is refused exactly when it did not load whole.
#include "verify/file_iterator.h"
#include "verify/find_data_from_md5.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsLineBreak(uint8_t c)
{
    return c == '\r' || c == '\n';
}

// True when no run of bytes between line breaks is longer than limit.
bool LinesFit(const uint8_t* data, size_t size, size_t limit)
{
    size_t run = 0;
    for (size_t i = 0; i < size; ++i) {
        run = IsLineBreak(data[i]) ? 0 : run + 1;
        if (run > limit) {
            return false;
        }
    }
    return true;
}

size_t LineCount(const uint8_t* data, size_t size)
{
    size_t lines = 0;
    for (size_t i = 0; i < size; ++i) {
        if (!IsLineBreak(data[i]) && (i == 0 || IsLineBreak(data[i - 1]))) {
            ++lines;
        }
    }
    return lines;
}

void RequireField(const char* field, size_t capacity)
{
    size_t length = strnlen(field, capacity);
    Require(length > 0 && length < capacity);
    Require(std::strpbrk(field, "\t\r\n") == nullptr);
}

void RequireRow(const CWrapPathMD5& item)
{
    RequireField(item.path, MAX_PATH);
    RequireField(item.md5, 33);
    Require(item.path[0] == '\\' && std::strchr(item.path, '/') == nullptr);
    Require(std::strlen(item.md5) == 32 && std::strspn(item.md5, "0123456789ABCDEF") == 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzReader reader(data, size);
    CFindDataFromMD5 input(&reader);
    Require(!reader.IsValid());
    bool complete = input.IsComplete() != FALSE;
    Require(!complete || LinesFit(data, size, CFindDataFromMD5::maxLineLength));
    Require(!complete || input.RowCount() != 0);
    CFileIterator iterator;
    Require((input.Begin(&iterator) != FALSE) == complete);
    input.End();
    Require(input.RowCount() <= LineCount(data, size));
    for (DWORD row = 0; row < input.RowCount(); ++row) {
        CWrapPathMD5 item = input.Item(row);
        RequireRow(item);
        // The row that decides comes first among those with the same path.
        LONG found = input.Find(item.path);
        Require(found >= 0 && static_cast<DWORD>(found) <= row);
        Require(CompareNames(input.Item(static_cast<DWORD>(found)).path, item.path) == 0);
    }
    return 0;
}
