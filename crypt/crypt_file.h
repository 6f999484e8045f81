// Body of CryptFile: encrypts the configured byte range of each listed installed file.
#pragma once
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

void CryptInstalledFiles(MSIHANDLE session);
