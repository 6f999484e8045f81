#include "source_check_entry.h"

UINT RunSourceCheck(MSIHANDLE session, SourceCheckBody body)
{
    char folder[MAX_PATH] = {};
    DWORD sizeFolder = MAX_PATH;
    // A value that does not fit is an error, never a cut path: the disk is not touched.
    if (MsiGetPropertyA(session, "SourceDir", folder, &sizeFolder) != ERROR_SUCCESS) {
        return ERROR_INSTALL_FAILURE;
    }
    return body(folder, 1) != 0 ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}
