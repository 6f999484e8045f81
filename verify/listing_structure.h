// Whether a binary listing is whole: one folder record for the root (index
// -1), then the record of each folder entry's subtree in order, each carrying
// its place among its parent's folder entries, every count non-negative,
// every name terminated, and nothing after the last record. The check and the
// tools that show a listing use this one reading, so they agree on what is
// corrupt.
#pragma once
#include "stream_reader.h"

enum ListingFault {
    listingWhole,
    listingCutShort,         // a header or entry record ends with the data
    listingWrongIndex,       // a record's index is not its place among its parent's folders
    listingNegativeCount,
    listingUnterminatedName,
    listingTrailingData,     // bytes after the last folder record
};

struct ListingCheck {
    ListingFault fault;
    DWORD offset;  // where the fault lies, counted from the start of the data
};

// Told each record as it is read, in listing order.
class CListingVisitor {
public:
    // A folder record begins. depth 0 is the root; a record at depth d is the
    // subtree of the next folder entry of the last record at depth d - 1.
    virtual void OnFolder(DWORD depth) = 0;
    virtual void OnEntry(const WIN32_FIND_DATAA& entry, BOOL isFolder) = 0;

protected:
    ~CListingVisitor() = default;
};

// Reads the listing from its start to its end (visitor may be null) and
// leaves the reader at the start.
ListingCheck CheckListingStructure(CStreamReader& reader, CListingVisitor* visitor);

// One little-endian 32-bit field of a listing, whatever the host's byte
// order; false when the data ends first.
BOOL ReadListingInt32(CStreamReader& reader, LONG& value);

// A short English reason for a fault, for tools that report it.
const char* DescribeListingFault(ListingFault fault);
