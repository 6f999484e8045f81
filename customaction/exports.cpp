// The three custom actions the installer calls by name.
#include "action_barrier.h"
#include "source_check_entry.h"

#include "crypt/crypt_file.h"
#include "verify/source_content_check.h"
#include "verify/source_listing_check.h"

namespace {

UINT CheckListing(MSIHANDLE session)
{
    return RunSourceCheck(session, CheckSourceListing);
}

UINT CheckContent(MSIHANDLE session)
{
    return RunSourceCheck(session, CheckSourceContent);
}

UINT EncryptListedFiles(MSIHANDLE session)
{
    CryptInstalledFiles(session);
    return ERROR_SUCCESS;
}

}  // namespace

// A check that could not finish has not shown the source intact.
extern "C" UINT WINAPI CheckItems(MSIHANDLE session)
{
    return RunBehindBarrier(CheckListing, session, ERROR_INSTALL_FAILURE);
}

extern "C" UINT WINAPI CheckContentOfItems(MSIHANDLE session)
{
    return RunBehindBarrier(CheckContent, session, ERROR_INSTALL_FAILURE);
}

// Encryption never fails the installation; a file is left whole or as it was.
extern "C" UINT WINAPI CryptFile(MSIHANDLE session)
{
    return RunBehindBarrier(EncryptListedFiles, session, ERROR_SUCCESS);
}
