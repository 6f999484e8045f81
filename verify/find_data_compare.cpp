#include "find_data_compare.h"

const CFindDataCompare cmpFolders = {TRUE, TRUE, TRUE, TRUE, TRUE};
const CFindDataCompare cmpFiles = {TRUE, TRUE, TRUE, FALSE, FALSE};

BOOL CFindDataCompare::Match(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const
{
    if (lstrcmpiA(a.cFileName, b.cFileName) != 0) {
        return FALSE;
    }
    // The package itself is replaced at every build; its size and attributes are never pinned.
    if (lstrcmpiA(a.cFileName, "setup.msi") == 0) {
        return TRUE;
    }
    if (!ignoreCreationTime && CompareFileTime(&a.ftCreationTime, &b.ftCreationTime) != 0) {
        return FALSE;
    }
    if (!ignoreLastAccessTime && CompareFileTime(&a.ftLastAccessTime, &b.ftLastAccessTime) != 0) {
        return FALSE;
    }
    if (!ignoreLastWriteTime && CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) != 0) {
        return FALSE;
    }
    if (!ignoreSize && a.nFileSizeLow != b.nFileSizeLow) {
        return FALSE;
    }
    if (!ignoreAttributes && a.dwFileAttributes != b.dwFileAttributes) {
        return FALSE;
    }
    return TRUE;
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
    for (const WIN32_FIND_DATAA& entry : a) {
        if (Find(b, entry) == -1) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CFindDataCompare::IsSame(const CFindDataArray& a, const CFindDataArray& b) const
{
    return Covers(a, b) && Covers(b, a);
}
