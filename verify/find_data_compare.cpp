#include "find_data_compare.h"

#include "find_data_index.h"
#include "name_identity.h"

const CFindDataCompare cmpFolders = {TRUE, TRUE, TRUE, TRUE, TRUE, FALSE};
const CFindDataCompare cmpFiles = {TRUE, TRUE, TRUE, FALSE, FALSE, FALSE};
const CFindDataCompare cmpRootFiles = {TRUE, TRUE, TRUE, FALSE, FALSE, TRUE};

BOOL CFindDataCompare::Match(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const
{
    if (CompareNames(a.cFileName, b.cFileName) != 0) {
        return FALSE;
    }
    // The package itself is replaced at every build; its size and attributes
    // are never pinned. Any other setup.msi is a file like the rest.
    if (packageByName && CompareNames(a.cFileName, "setup.msi") == 0) {
        return TRUE;
    }
    return CompareFields(a, b) == 0;
}

int CFindDataCompare::CompareFields(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const
{
    LONG order = 0;
    if (order == 0 && !ignoreCreationTime) {
        order = CompareFileTime(&a.ftCreationTime, &b.ftCreationTime);
    }
    if (order == 0 && !ignoreLastAccessTime) {
        order = CompareFileTime(&a.ftLastAccessTime, &b.ftLastAccessTime);
    }
    if (order == 0 && !ignoreLastWriteTime) {
        order = CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime);
    }
    if (order == 0 && !ignoreSize && a.nFileSizeLow != b.nFileSizeLow) {
        order = a.nFileSizeLow < b.nFileSizeLow ? -1 : 1;
    }
    if (order == 0 && !ignoreAttributes && a.dwFileAttributes != b.dwFileAttributes) {
        order = a.dwFileAttributes < b.dwFileAttributes ? -1 : 1;
    }
    return static_cast<int>(order);
}

LONG CFindDataCompare::Find(const CFindDataArray& list, const WIN32_FIND_DATAA& entry) const
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (Match(list[i], entry)) {
            return static_cast<LONG>(i);
        }
    }
    return -1;
}

BOOL CFindDataCompare::Covers(const CFindDataArray& a, const CFindDataArray& b) const
{
    return CFindDataIndex(b, *this).Covers(a);
}

BOOL CFindDataCompare::IsSame(const CFindDataArray& a, const CFindDataArray& b) const
{
    return Covers(a, b) && Covers(b, a);
}
