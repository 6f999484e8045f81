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
    char line[maxLineLength + 1];
    // Loading runs to the end of the data: an empty result also comes back
    // for line breaks that stand at the reading position, so stopping at the
    // first one would drop every row of a manifest that begins with one.
    for (DWORD remaining = reader->SeekFromEnd(0); remaining != 0;) {
        LONG length = reader->ReadLine(line, maxLineLength);
        if (length < 0) {
            // The reader does not move past a line that is too long.
            complete = FALSE;
            return;
        }
        char* position = line;
        char* path = NextToken(position);
        char* md5 = path != nullptr ? NextToken(position) : nullptr;
        if (path != nullptr && md5 != nullptr) {
            items.push_back(CWrapPathMD5(path, md5));
        }
        DWORD left = reader->SeekFromEnd(0);
        if (left >= remaining) {
            // A reader that stands still would be asked for ever.
            complete = FALSE;
            return;
        }
        remaining = left;
    }
}

BOOL CFindDataFromMD5::Begin(CFileIterator* walker)
{
    if (!complete) {
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
        if (lstrcmpA(item.path, fpathRelative) == 0) {
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
