#include "recoded_input.h"

#include <cstring>
#include <string>

CRecodedInput::CRecodedInput(CFindDataInput& inner, const CCodePageText& codePage)
    : input(inner), text(codePage)
{
}

BOOL CRecodedInput::GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded)
{
    size_t foldersBefore = foldersReaded.size();
    size_t filesBefore = filesReaded.size();
    return input.GetFolder(index, foldersReaded, filesReaded) && Recode(foldersReaded, foldersBefore) &&
           Recode(filesReaded, filesBefore);
}

BOOL CRecodedInput::Recode(CFindDataArray& entries, size_t from)
{
    for (size_t i = from; i < entries.size(); ++i) {
        std::string ansi = entries[i].cFileName;
        if (text.IsOwnUtf8(ansi)) {
            continue;  // plain ASCII, as names mostly are, stays as it is
        }
        std::string utf8;
        if (!text.FromAnsi(ansi, utf8) || utf8.size() >= sizeof(entries[i].cFileName)) {
            return FALSE;
        }
        std::memset(entries[i].cFileName, 0, sizeof(entries[i].cFileName));
        std::memcpy(entries[i].cFileName, utf8.data(), utf8.size());
    }
    return TRUE;
}
