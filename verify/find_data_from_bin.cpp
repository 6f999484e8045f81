#include "find_data_from_bin.h"

#include <cstring>

namespace {

const DWORD entrySize = sizeof(WIN32_FIND_DATAA);
static_assert(sizeof(WIN32_FIND_DATAA) == 320, "listing records are 320 bytes");

}  // namespace

CFindDataFromBin::CFindDataFromBin(CStreamReader* streamReader) : reader(streamReader) {}

CFindDataFromBin::~CFindDataFromBin()
{
    if (reader != nullptr) {
        reader->Close();
        reader = nullptr;
    }
}

BOOL CFindDataFromBin::Begin(CFileIterator* /*iterator*/)
{
    if (reader == nullptr) {
        structure = ListingCheck{listingCutShort, 0};
        return FALSE;
    }
    structure = CheckListingStructure(*reader, nullptr);
    return structure.fault == listingWhole ? TRUE : FALSE;
}

void CFindDataFromBin::End() {}

BOOL CFindDataFromBin::GetFolder(LONG index, CFindDataArray& foldersReaded,
                                 CFindDataArray& filesReaded)
{
    FolderHeader header;
    if (reader == nullptr || !SelectFolder(index) || !ReadFolderHeader(header)) {
        return FALSE;
    }
    // A negative count is corrupt data; the check fails closed on it.
    if (header.folderCount < 0 || header.fileCount < 0) {
        return FALSE;
    }
    return ReadEntries(header.folderCount, foldersReaded) &&
           ReadEntries(header.fileCount, filesReaded);
}

LONG CFindDataFromBin::SavePosition()
{
    return static_cast<LONG>(reader->SeekFromCurrent(0));
}

void CFindDataFromBin::RestorePosition(LONG token)
{
    reader->SeekFromStart(static_cast<DWORD>(token));
}

BOOL CFindDataFromBin::CheckFolder(const WIN32_FIND_DATAA& /*entry*/)
{
    return FALSE;
}

BOOL CFindDataFromBin::CheckFile(const WIN32_FIND_DATAA& /*entry*/)
{
    return FALSE;
}

BOOL CFindDataFromBin::IsPerEntry()
{
    return FALSE;
}

BOOL CFindDataFromBin::ReadFolderHeader(FolderHeader& header)
{
    return ReadListingInt32(*reader, header.index) && ReadListingInt32(*reader, header.folderCount) &&
           ReadListingInt32(*reader, header.fileCount);
}

BOOL CFindDataFromBin::SkipFolder()
{
    // A loop over the records still to skip rather than one recursion per
    // level: every round consumes a 12-byte header, so corrupt counts end the
    // loop when the data ends instead of spinning or exhausting the stack.
    long long pending = 1;
    while (pending > 0) {
        FolderHeader header;
        if (!ReadFolderHeader(header) || header.folderCount < 0 || header.fileCount < 0) {
            return FALSE;
        }
        unsigned long long skip = (static_cast<unsigned long long>(header.folderCount) +
                                   static_cast<unsigned long long>(header.fileCount)) * entrySize;
        // The reader clamps the seek at the end of the data.
        reader->SeekFromCurrent(skip > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(skip));
        pending += header.folderCount - 1;
    }
    return TRUE;
}

BOOL CFindDataFromBin::SelectFolder(LONG index)
{
    if (index == -1) {
        reader->SeekFromStart(0);
        return TRUE;
    }
    for (;;) {
        DWORD start = reader->SeekFromCurrent(0);
        FolderHeader header;
        if (!ReadFolderHeader(header)) {
            return FALSE;
        }
        reader->SeekFromStart(start);
        if (header.index == index) {
            return TRUE;
        }
        if (!SkipFolder()) {
            return FALSE;
        }
    }
}

BOOL CFindDataFromBin::ReadEntries(LONG count, CFindDataArray& entries)
{
    // Room for all of them at once, when the data holds that many: a corrupt
    // count reserves nothing and fails below.
    if (static_cast<unsigned long long>(count) * entrySize <= reader->SeekFromEnd(0)) {
        entries.reserve(entries.size() + static_cast<size_t>(count));
    }
    for (LONG i = 0; i < count; ++i) {
        WIN32_FIND_DATAA entry;
        if (reader->Read(&entry, entrySize) != entrySize) {
            return FALSE;
        }
        // Names are compared as terminated text: one without its terminator
        // would be read past the record.
        if (std::memchr(entry.cFileName, '\0', sizeof(entry.cFileName)) == nullptr) {
            return FALSE;
        }
        entries.push_back(entry);
    }
    return TRUE;
}
