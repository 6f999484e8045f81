#include "find_data_from_md5.h"

#include "file_iterator.h"
#include "file_md5.h"
#include "name_identity.h"

#include "base/bounded_text.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

const char separators[] = "\t\r\n";

// The next token of line at or after position: a run of separators counts as
// one, and those before the first token are skipped. Null when none is left;
// the token is terminated in place and its length given.
char* NextToken(char*& position, size_t& length)
{
    position += std::strspn(position, separators);
    if (*position == '\0') {
        return nullptr;
    }
    char* token = position;
    length = std::strcspn(position, separators);
    position += length;
    if (*position != '\0') {
        *position++ = '\0';
    }
    return token;
}

enum LineKind {
    blankLine,  // separators only
    rowLine,
    badLine,
};

// Thirty-two upper-case hex digits. Every byte is looked at without a
// branch of its own: digits and letters come in no order, and a branch per
// byte would guess wrong half the time over a million rows.
bool IsDigestText(const char* md5, size_t length)
{
    if (length != 32) {
        return false;
    }
    unsigned outside = 0;
    for (size_t i = 0; i < 32; ++i) {
        unsigned char c = static_cast<unsigned char>(md5[i]);
        unsigned digit = static_cast<unsigned char>(c - '0') <= 9 ? 1u : 0u;
        unsigned letter = static_cast<unsigned char>(c - 'A') <= 5 ? 1u : 0u;
        outside |= (digit | letter) ^ 1u;
    }
    return outside == 0;
}

// A path the walker can build: a backslash, folder names each followed by
// one backslash, the file name; it fits the path buffer uncut.
bool IsSourcePath(const char* path, size_t length)
{
    return length >= 2 && length < MAX_PATH && path[0] == '\\' && path[length - 1] != '\\' &&
           std::strchr(path, '/') == nullptr && std::strstr(path, "\\\\") == nullptr;
}

// Splits a line into its path and digest. A zero byte inside the line would
// hide the rest of it, so such a line is never a row.
LineKind SplitLine(char* line, LONG length, char*& path, size_t& pathLength, char*& md5)
{
    if (std::strlen(line) != static_cast<size_t>(length)) {
        return badLine;
    }
    char* position = line;
    path = NextToken(position, pathLength);
    if (path == nullptr) {
        return blankLine;
    }
    size_t md5Length = 0;
    md5 = NextToken(position, md5Length);
    return md5 != nullptr && IsSourcePath(path, pathLength) && IsDigestText(md5, md5Length) ? rowLine : badLine;
}

// The shortest row line: a backslash, one character, a tab and the digest.
const DWORD shortestRow = 35;

template <typename T>
std::unique_ptr<T[]> NewArray(size_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace

CFindDataFromMD5::CFindDataFromMD5(CStreamReader* manifestReader) : reader(manifestReader)
{
    if (reader == nullptr || !reader->IsValid()) {
        return;
    }
    Load();
}

CFindDataFromMD5::~CFindDataFromMD5()
{
    // The reader was closed when the manifest was loaded.
    reader = nullptr;
}

void CFindDataFromMD5::Load()
{
    LoadRows();
    // The rows hold all they need of the text: it is given back before the
    // sort needs memory of its own.
    reader->Close();
    // Rows loaded before a bad line are still looked up, for tools that tell them.
    if (rowCount != 0 && !SortByPath() && fault == whole) {
        SetFault(noMemory, 0);
    }
}

void CFindDataFromMD5::LoadRows()
{
    fault = whole;
    BYTE start[3] = {};
    DWORD startSize = reader->Read(start, sizeof(start));
    reader->SeekFromStart(0);
    if (StartsWithByteOrderMark(start, startSize)) {
        SetFault(byteOrderMark, 0);
        return;
    }
    // A row keeps no more than its line and line break, and every row line
    // is at least shortestRow characters long: both blocks are sized once.
    DWORD total = reader->SeekFromEnd(0);
    textCapacity = static_cast<size_t>(total) + 1;
    rowCapacity = total / shortestRow + 1;
    text = NewArray<char>(textCapacity);
    rows = NewArray<DWORD>(rowCapacity);
    if (!text || !rows) {
        SetFault(noMemory, 0);
        return;
    }
    char line[maxLineLength + 1];
    // Loading runs to the end of the data: an empty result also comes back
    // for line breaks that stand at the reading position, so stopping at the
    // first one would drop every row of a manifest that begins with one.
    for (DWORD remaining = total; remaining != 0;) {
        DWORD offset = reader->SeekFromCurrent(0);
        LONG length = reader->ReadLine(line, maxLineLength);
        if (length < 0) {
            // The reader does not move past a line that is too long.
            SetFault(lineTooLong, offset);
            return;
        }
        char* path = nullptr;
        size_t pathLength = 0;
        char* md5 = nullptr;
        LineKind kind = SplitLine(line, length, path, pathLength, md5);
        if (kind == badLine) {
            SetFault(notARow, offset);
            return;
        }
        if (kind == rowLine && !AddRow(path, pathLength, md5)) {
            SetFault(noMemory, offset);
            return;
        }
        DWORD left = reader->SeekFromEnd(0);
        if (left >= remaining) {
            // A reader that stands still would be asked for ever.
            SetFault(lineTooLong, offset);
            return;
        }
        remaining = left;
    }
    if (rowCount == 0) {
        SetFault(noRows, 0);
    }
}

bool CFindDataFromMD5::AddRow(const char* path, size_t pathLength, const char* md5)
{
    size_t pathSize = pathLength + 1;
    // Only a reader that delivers more than it holds would overrun the blocks.
    if (rowCount == rowCapacity || textCapacity - textSize < md5TextSize + pathSize) {
        return false;
    }
    rows[rowCount++] = textSize;
    std::memcpy(text.get() + textSize, md5, md5TextSize);
    std::memcpy(text.get() + textSize + md5TextSize, path, pathSize);
    textSize += static_cast<DWORD>(md5TextSize + pathSize);
    return true;
}

bool CFindDataFromMD5::SortByPath()
{
    // Each path is folded once; the rows are sorted by the folded paths and,
    // among equal ones, stay in manifest order, so the first of them is the
    // one a search meets first.
    try {
        folded.Reserve(rowCount, textSize);
        for (DWORD row = 0; row < rowCount; ++row) {
            folded.Add(PathOf(row));
        }
        byPath.resize(rowCount);
        for (DWORD row = 0; row < rowCount; ++row) {
            byPath[row] = row;
        }
        std::stable_sort(byPath.begin(), byPath.end(),
                         [this](DWORD a, DWORD b) { return CompareFolded(folded[a], folded[b]) < 0; });
    } catch (const std::bad_alloc&) {
        byPath.clear();
        return false;
    }
    return true;
}

void CFindDataFromMD5::SetFault(Fault kind, DWORD offset)
{
    fault = kind;
    faultOffset = offset;
}

BOOL CFindDataFromMD5::Begin(CFileIterator* walker)
{
    if (fault != whole) {
        return FALSE;
    }
    iterator = walker;
    context.reset(new (std::nothrow) CMD5Context());
    return TRUE;
}

void CFindDataFromMD5::End()
{
    iterator = nullptr;
    lastDigest = nullptr;
    lastRow = -1;
    context.reset();
}

BOOL CFindDataFromMD5::GetFolder(LONG /*index*/, CFindDataArray& /*foldersReaded*/,
                                 CFindDataArray& /*filesReaded*/)
{
    return TRUE;
}

LONG CFindDataFromMD5::SavePosition()
{
    return 0;
}

void CFindDataFromMD5::RestorePosition(LONG /*token*/) {}

BOOL CFindDataFromMD5::CheckFolder(const WIN32_FIND_DATAA& /*entry*/)
{
    return TRUE;
}

CWrapPathMD5 CFindDataFromMD5::Item(DWORD row) const
{
    CWrapPathMD5 item = {PathOf(row), text.get() + rows[row]};
    return item;
}

LONG CFindDataFromMD5::Find(const char* fpathRelative) const
{
    if (byPath.size() != rowCount || rowCount == 0 || fpathRelative == nullptr) {
        return -1;
    }
    CNameKey key;
    FoldName(fpathRelative, key);
    auto slot = std::lower_bound(byPath.begin(), byPath.end(), key.text,
                                 [this](DWORD row, const WCHAR* sought) { return CompareFolded(folded[row], sought) < 0; });
    if (slot == byPath.end() || CompareFolded(folded[*slot], key.text) != 0) {
        return -1;
    }
    return static_cast<LONG>(*slot);
}

BOOL CFindDataFromMD5::CheckFile(const WIN32_FIND_DATAA& entry)
{
    lastDigest = nullptr;
    lastRow = -1;
    if (iterator == nullptr) {
        return FALSE;
    }
    // A path cut at 259 characters would name another file: the file is
    // rejected without being opened.
    char fpathRelative[MAX_PATH];
    if (CopyBounded(fpathRelative, MAX_PATH, iterator->GetRelativePath()) != S_OK ||
        AppendBounded(fpathRelative, MAX_PATH, entry.cFileName) != S_OK) {
        return FALSE;
    }
    lastRow = Find(fpathRelative);
    char fpath[MAX_PATH];
    if (CopyBounded(fpath, MAX_PATH, iterator->GetCurrentFolder()) != S_OK ||
        AppendBounded(fpath, MAX_PATH, entry.cFileName) != S_OK) {
        return FALSE;
    }
    if (lastRow < 0) {
        return TRUE;
    }
    const char* text = GetFileMD5(fpath, context ? context->Get() : 0);
    if (text != nullptr) {
        std::memcpy(digestText, text, sizeof(digestText));
        lastDigest = digestText;
    }
    return lastDigest != nullptr && lastDigest[0] != '\0' &&
           lstrcmpA(lastDigest, Item(static_cast<DWORD>(lastRow)).md5) == 0;
}

BOOL CFindDataFromMD5::IsPerEntry()
{
    return TRUE;
}

BOOL StartsWithByteOrderMark(const BYTE* data, DWORD size)
{
    bool utf8 = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF;
    bool utf16 = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
    return utf8 || utf16 ? TRUE : FALSE;
}
