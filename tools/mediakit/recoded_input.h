// A listing input whose names are turned from the listing's ANSI code page
// into the host's UTF-8, in which the port's enumeration names the tree.
#pragma once
#include "code_page_text.h"

#include "verify/find_data_input.h"

class CRecodedInput : public CFindDataInput {
public:
    CRecodedInput(CFindDataInput& inner, const CCodePageText& codePage);
    ~CRecodedInput() = default;

    BOOL Begin(CFileIterator* iterator) override { return input.Begin(iterator); }
    void End() override { input.End(); }
    // Fails, like a corrupt listing, when a name does not convert or its
    // conversion would not fit the record.
    BOOL GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded) override;
    LONG SavePosition() override { return input.SavePosition(); }
    void RestorePosition(LONG token) override { input.RestorePosition(token); }
    BOOL CheckFolder(const WIN32_FIND_DATAA& entry) override { return input.CheckFolder(entry); }
    BOOL CheckFile(const WIN32_FIND_DATAA& entry) override { return input.CheckFile(entry); }
    BOOL IsPerEntry() override { return input.IsPerEntry(); }

private:
    BOOL Recode(CFindDataArray& entries, size_t from);

    CFindDataInput& input;
    const CCodePageText& text;
};
