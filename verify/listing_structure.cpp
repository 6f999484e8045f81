#include "listing_structure.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

const DWORD entrySize = sizeof(WIN32_FIND_DATAA);

// The folder entries of one open record and how many of their subtrees have
// been read.
struct Level {
    LONG folderCount;
    LONG nextIndex;
};

ListingCheck Verdict(CStreamReader& reader, ListingFault fault, DWORD offset)
{
    reader.SeekFromStart(0);
    return ListingCheck{fault, offset};
}

}  // namespace

ListingCheck CheckListingStructure(CStreamReader& reader, CListingVisitor* visitor)
{
    reader.SeekFromStart(0);
    // One level per open record; every record takes at least 12 bytes, so
    // the stack never outgrows the data.
    std::vector<Level> open;
    bool rootRead = false;
    for (;;) {
        while (!open.empty() && open.back().nextIndex == open.back().folderCount) {
            open.pop_back();
        }
        if (rootRead && open.empty()) {
            break;
        }
        DWORD offset = reader.SeekFromCurrent(0);
        LONG wanted = open.empty() ? -1 : open.back().nextIndex;
        LONG index = 0;
        LONG folderCount = 0;
        LONG fileCount = 0;
        if (!ReadListingInt32(reader, index) || !ReadListingInt32(reader, folderCount) ||
            !ReadListingInt32(reader, fileCount)) {
            return Verdict(reader, listingCutShort, offset);
        }
        if (index != wanted) {
            return Verdict(reader, listingWrongIndex, offset);
        }
        if (folderCount < 0 || fileCount < 0) {
            return Verdict(reader, listingNegativeCount, offset);
        }
        if (visitor != nullptr) {
            visitor->OnFolder(static_cast<DWORD>(open.size()));
        }
        if (!open.empty()) {
            ++open.back().nextIndex;
        }
        rootRead = true;
        long long entries = static_cast<long long>(folderCount) + fileCount;
        for (long long i = 0; i < entries; ++i) {
            DWORD entryOffset = reader.SeekFromCurrent(0);
            WIN32_FIND_DATAA entry;
            if (reader.Read(&entry, entrySize) != entrySize) {
                return Verdict(reader, listingCutShort, entryOffset);
            }
            if (std::memchr(entry.cFileName, '\0', sizeof(entry.cFileName)) == nullptr) {
                return Verdict(reader, listingUnterminatedName,
                             entryOffset + static_cast<DWORD>(offsetof(WIN32_FIND_DATAA, cFileName)));
            }
            if (visitor != nullptr) {
                visitor->OnEntry(entry, i < folderCount ? TRUE : FALSE);
            }
        }
        open.push_back(Level{folderCount, 0});
    }
    DWORD end = reader.SeekFromCurrent(0);
    if (reader.SeekFromEnd(0) != 0) {
        return Verdict(reader, listingTrailingData, end);
    }
    return Verdict(reader, listingWhole, end);
}

BOOL ReadListingInt32(CStreamReader& reader, LONG& value)
{
    BYTE bytes[4];
    if (reader.Read(bytes, sizeof(bytes)) != sizeof(bytes)) {
        return FALSE;
    }
    DWORD raw = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 |
                static_cast<DWORD>(bytes[2]) << 16 | static_cast<DWORD>(bytes[3]) << 24;
    value = static_cast<LONG>(raw);
    return TRUE;
}

const char* DescribeListingFault(ListingFault fault)
{
    switch (fault) {
    case listingWhole:
        return "whole";
    case listingCutShort:
        return "a record is cut short by the end of the data";
    case listingWrongIndex:
        return "a folder record carries an index other than its place among its parent's folders "
               "(the root's must be -1)";
    case listingNegativeCount:
        return "a folder record has a negative count";
    case listingUnterminatedName:
        return "an entry name has no terminator";
    case listingTrailingData:
        return "data follows the last folder record";
    }
    return "unknown fault";
}
