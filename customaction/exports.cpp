// The three custom actions the installer calls by name.
#include "source_check_entry.h"

#include "crypt/crypt_file.h"
#include "verify/source_content_check.h"
#include "verify/source_listing_check.h"

extern "C" UINT WINAPI CheckItems(MSIHANDLE session)
{
    return RunSourceCheck(session, CheckSourceListing);
}

extern "C" UINT WINAPI CheckContentOfItems(MSIHANDLE session)
{
    return RunSourceCheck(session, CheckSourceContent);
}

extern "C" UINT WINAPI CryptFile(MSIHANDLE session)
{
    CryptInstalledFiles(session);
    // Encryption never fails the installation.
    return ERROR_SUCCESS;
}
