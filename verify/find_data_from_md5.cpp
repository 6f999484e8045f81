#include "find_data_from_md5.h"

#include "file_iterator.h"
#include "file_md5.h"

#include "base/bounded_text.h"

#include <cstring>

namespace {

bool IsSeparator(char c)
{
    return c == '\t' || c == '\r' || c == '\n';
}

// The next token of line at or after position: a run of separators counts as
// one, and those before the first token are skipped. Null when none is left;
// the token is terminated in place.
char* NextToken(char*& position)
{
    while (*position != '\0' && IsSeparator(*position)) {
        ++position;
    }
    if (*position == '\0') {
        return nullptr;
    }
    char* token = position;
    while (*position != '\0' && !IsSeparator(*position)) {
        ++position;
    }
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

bool IsDigestText(const char* md5)
{
    size_t length = 0;
    for (; md5[length] != '\0'; ++length) {
        char c = md5[length];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return length == 32;
}

// A path the walker can build: a backslash, folder names each followed by
// one backslash, the file name; it fits the path buffer uncut.
bool IsSourcePath(const char* path)
{
    size_t length = std::strlen(path);
    return length >= 2 && length < MAX_PATH && path[0] == '\\' && path[length - 1] != '\\' &&
           std::strchr(path, '/') == nullptr && std::strstr(path, "\\\\") == nullptr;
}

// Splits a line into its path and digest. A zero byte inside the line would
// hide the rest of it, so such a line is never a row.
LineKind SplitLine(char* line, LONG length, char*& path, char*& md5)
{
    if (std::strlen(line) != static_cast<size_t>(length)) {
        return badLine;
    }
    char* position = line;
    path = NextToken(position);
    if (path == nullptr) {
        return blankLine;
    }
    md5 = NextToken(position);
    return md5 != nullptr && IsSourcePath(path) && IsDigestText(md5) ? rowLine : badLine;
}

}  // namespace

CFindDataFromMD5::CFindDataFromMD5(CStreamReader* manifestReader) : reader(manifestReader)
{
    if (reader == nullptr || !reader->IsValid()) {
        return;
    }
    Load();
    reader->Close();
}

CFindDataFromMD5::~CFindDataFromMD5()
{
    // The reader was closed when the manifest was loaded.
    reader = nullptr;
}

void CFindDataFromMD5::Load()
{
    fault = whole;
    BYTE start[3] = {};
    DWORD startSize = reader->Read(start, sizeof(start));
    reader->SeekFromStart(0);
    if (StartsWithByteOrderMark(start, startSize)) {
        SetFault(byteOrderMark, 0);
        return;
    }
    char line[maxLineLength + 1];
    // Loading runs to the end of the data: an empty result also comes back
    // for line breaks that stand at the reading position, so stopping at the
    // first one would drop every row of a manifest that begins with one.
    for (DWORD remaining = reader->SeekFromEnd(0); remaining != 0;) {
        DWORD offset = reader->SeekFromCurrent(0);
        LONG length = reader->ReadLine(line, maxLineLength);
        if (length < 0) {
            // The reader does not move past a line that is too long.
            SetFault(lineTooLong, offset);
            return;
        }
        char* path = nullptr;
        char* md5 = nullptr;
        LineKind kind = SplitLine(line, length, path, md5);
        if (kind == badLine) {
            SetFault(notARow, offset);
            return;
        }
        if (kind == rowLine) {
            items.push_back(CWrapPathMD5(path, md5));
        }
        DWORD left = reader->SeekFromEnd(0);
        if (left >= remaining) {
            // A reader that stands still would be asked for ever.
            SetFault(lineTooLong, offset);
            return;
        }
        remaining = left;
    }
    if (items.empty()) {
        SetFault(noRows, 0);
    }
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
    return TRUE;
}

void CFindDataFromMD5::End()
{
    iterator = nullptr;
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

const CWrapPathMD5* CFindDataFromMD5::Find(const char* fpathRelative) const
{
    for (const CWrapPathMD5& item : items) {
        if (lstrcmpiA(item.path, fpathRelative) == 0) {
            return &item;
        }
    }
    return nullptr;
}

BOOL CFindDataFromMD5::CheckFile(const WIN32_FIND_DATAA& entry)
{
    if (iterator == nullptr) {
        return FALSE;
    }
    // A path cut at 259 characters would name another file: the file is
    // rejected without being looked up or opened.
    char fpathRelative[MAX_PATH];
    char fpath[MAX_PATH];
    if (CopyBounded(fpathRelative, MAX_PATH, iterator->GetRelativePath()) != S_OK ||
        AppendBounded(fpathRelative, MAX_PATH, entry.cFileName) != S_OK ||
        CopyBounded(fpath, MAX_PATH, iterator->GetCurrentFolder()) != S_OK ||
        AppendBounded(fpath, MAX_PATH, entry.cFileName) != S_OK) {
        return FALSE;
    }
    const CWrapPathMD5* item = Find(fpathRelative);
    if (item == nullptr) {
        return TRUE;
    }
    const char* md5 = GetFileMD5(fpath);
    return md5 != nullptr && md5[0] != '\0' && lstrcmpA(md5, item->md5) == 0;
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
