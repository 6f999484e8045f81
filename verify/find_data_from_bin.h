// The binary listing served folder by folder. The listing is a depth-first,
// pre-order sequence of folder records: a header (index among the parent's
// folder entries, -1 for the root; folder count; file count), then that many
// 320-byte find-data records, then the records of the subfolders in order.
#pragma once
#include "find_data_input.h"
#include "listing_structure.h"
#include "stream_reader.h"

class CFindDataFromBin : public CFindDataInput {
public:
    // Borrows the reader; reads nothing yet.
    explicit CFindDataFromBin(CStreamReader* reader);
    // Closes the reader.
    ~CFindDataFromBin();

    CFindDataFromBin(const CFindDataFromBin&) = delete;
    CFindDataFromBin& operator=(const CFindDataFromBin&) = delete;

    // Refuses the walk when the listing is not whole (CheckListingStructure),
    // so that whatever a tool calls corrupt fails the check too.
    BOOL Begin(CFileIterator* iterator) override;
    void End() override;
    // Fails on a missing reader, a header or record cut short, an index not
    // found before the data ends, a negative count, or a name without terminator.
    BOOL GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded) override;
    LONG SavePosition() override;
    void RestorePosition(LONG token) override;
    BOOL CheckFolder(const WIN32_FIND_DATAA& entry) override;
    BOOL CheckFile(const WIN32_FIND_DATAA& entry) override;
    BOOL IsPerEntry() override;

    // What the last Begin found.
    const ListingCheck& Structure() const { return structure; }

private:
    struct FolderHeader {
        LONG index;
        LONG folderCount;
        LONG fileCount;
    };

    BOOL ReadFolderHeader(FolderHeader& header);
    BOOL SkipFolder();
    BOOL SelectFolder(LONG index);
    BOOL ReadEntries(LONG count, CFindDataArray& entries);

    CStreamReader* reader;
    ListingCheck structure = {listingWhole, 0};
};
