// The MD5 manifest as a per-entry input of the walker: a file the manifest
// lists must have the listed digest; any other file or folder is accepted
// unread.
//
// Manifest rows are "\folder\name.ext", a tab and 32 upper-case hex digits,
// one per line. Paths are looked up the way Windows' file systems match
// names, without regard to case and without a locale; digests compare
// exactly. When several rows carry the same path the first decides.
//
// The rows are held as one block of text, "digest\0path\0" after one another,
// with the offset of each row and the rows sorted by folded path beside it: a
// path is found by binary search on the names' identity, the one the listing
// check uses.
//
// The manifest fails closed: a manifest that names no file, one with a line
// that is not such a row (another path form, a byte-order mark, a digest that
// is not 32 upper-case hex digits) or a line longer than the loader takes
// makes every walk fail, since files it meant to guard would pass unread.
#pragma once
#include "find_data_input.h"
#include "md5_digest.h"
#include "name_identity.h"
#include "stream_reader.h"
#include "wrap_path_md5.h"

#include <memory>

class CFindDataFromMD5 : public CFindDataInput {
public:
    enum Fault {
        whole,
        noRows,         // nothing that names a file
        byteOrderMark,  // the text starts with a UTF-8 or UTF-16 byte-order mark
        notARow,        // a line that is not "\path<tab>digest" as the mastering tool writes it
        lineTooLong,    // a line longer than maxLineLength
        noMemory,       // the heap cannot hold the rows
    };

    // Loads the manifest at once and closes the reader. A null or invalid
    // reader gives no rows.
    explicit CFindDataFromMD5(CStreamReader* manifestReader);
    ~CFindDataFromMD5();

    CFindDataFromMD5(const CFindDataFromMD5&) = delete;
    CFindDataFromMD5& operator=(const CFindDataFromMD5&) = delete;

    BOOL Begin(CFileIterator* walker) override;
    void End() override;
    BOOL GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded) override;
    LONG SavePosition() override;
    void RestorePosition(LONG token) override;
    BOOL CheckFolder(const WIN32_FIND_DATAA& entry) override;
    BOOL CheckFile(const WIN32_FIND_DATAA& entry) override;
    BOOL IsPerEntry() override;

    // The rows in manifest order, for tools that report on them.
    DWORD RowCount() const { return rowCount; }
    CWrapPathMD5 Item(DWORD row) const;
    // The row at position in the order of paths: rows whose paths compare
    // equal stand together, the one that decides first.
    DWORD RowInPathOrder(DWORD position) const { return byPath[position]; }
    // True when the manifest loaded whole, with at least one row; Begin
    // refuses every walk otherwise.
    BOOL IsComplete() const { return fault == whole; }
    Fault LoadFault() const { return fault; }
    // Where the first bad line starts, counted in bytes from the start of the text.
    DWORD FaultOffset() const { return faultOffset; }
    // The row that decides for a path relative to the root, or -1.
    LONG Find(const char* fpathRelative) const;
    // The digest text of the file the last CheckFile read, or null when it
    // read none or could not read it; the next CheckFile rewrites it.
    const char* LastDigest() const { return lastDigest; }
    // The row that decided for the file the last CheckFile was given, or -1
    // when none lists it (or its path does not fit).
    LONG LastRow() const { return lastRow; }

    // The longest line the loader takes.
    static const DWORD maxLineLength = 2047;

private:
    void Load();
    void LoadRows();
    bool AddRow(const char* path, size_t pathLength, const char* md5);
    bool SortByPath();
    const char* PathOf(DWORD row) const { return text.get() + rows[row] + md5TextSize; }
    void SetFault(Fault kind, DWORD offset);

    static const DWORD md5TextSize = 33;

    CStreamReader* reader;
    CFileIterator* iterator = nullptr;
    // From Begin to End: the files of a walk are hashed in one context.
    std::unique_ptr<CMD5Context> context;
    std::unique_ptr<char[]> text;
    size_t textCapacity = 0;
    DWORD textSize = 0;
    std::unique_ptr<DWORD[]> rows;
    DWORD rowCapacity = 0;
    DWORD rowCount = 0;
    // The rows' paths folded, and the rows in the order of those forms.
    CFoldedNames folded;
    std::vector<DWORD> byPath;
    char digestText[2 * md5DigestSize + 1] = {};
    const char* lastDigest = nullptr;
    LONG lastRow = -1;
    Fault fault = noRows;
    DWORD faultOffset = 0;
};

// True when data starts with a UTF-8 or UTF-16 byte-order mark.
BOOL StartsWithByteOrderMark(const BYTE* data, DWORD size);
