#include "crypt_file.h"

void CryptInstalledFiles(MSIHANDLE /*session*/)
{
    // Range encryption is not built yet: no file is touched.
}
