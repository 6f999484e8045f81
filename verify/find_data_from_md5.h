// The MD5 manifest as a per-entry input of the walker: a file the manifest
// lists must have the listed digest; any other file or folder is accepted
// unread.
//
// Manifest rows are "\folder\name.ext", a tab and 32 upper-case hex digits,
// one per line. Paths and digests compare case-sensitively; when several rows
// carry the same path the first decides.
#pragma once
#include "find_data_input.h"
#include "stream_reader.h"
#include "wrap_path_md5.h"

#include <vector>

class CFindDataFromMD5 : public CFindDataInput {
public:
    // Loads the manifest at once and closes the reader. A null or invalid
    // reader gives no rows. A line longer than the loader's limit ends loading
    // and makes every walk fail, since rows after it could not be honoured.
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
    const std::vector<CWrapPathMD5>& Items() const { return items; }
    // True when the whole manifest was loaded.
    BOOL IsComplete() const { return complete; }
    // The row that decides for a path relative to the root, or null.
    const CWrapPathMD5* Find(const char* fpathRelative) const;

    // The longest line the loader takes.
    static const DWORD maxLineLength = 2047;

private:
    void Load();

    CStreamReader* reader;
    CFileIterator* iterator = nullptr;
    std::vector<CWrapPathMD5> items;
    BOOL complete = TRUE;
};
