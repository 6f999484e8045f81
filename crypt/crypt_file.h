// Body of CryptFile: encrypts the configured byte range of each listed installed file.
#pragma once
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

// Reads "Files", the folder "_DBASE_", "RectPyrc" and "ProductNameShort" and
// encrypts the range of each listed file in place. Any failure skips quietly.
void CryptInstalledFiles(MSIHANDLE session);

// Encrypts length bytes (-1: the file's size) at start of the file in place.
// Returns the number of bytes processed, or -1 when the file was not changed.
LONG CryptFileRange(const char* fname, const char* pass, LONG start, LONG length);

// Encrypts the data in place with the pass phrase (at most 31 characters
// count); TRUE when the cipher accepted and transformed them.
BOOL CryptBuffer(BYTE* data, LONG length, const char* pass);

// The same two with the cipher's mode (cipherEncrypt or cipherDecrypt), for
// the tools that read the ranges back.
LONG TransformFileRange(const char* fname, const char* pass, LONG start, LONG length, int mode);
BOOL TransformBuffer(BYTE* data, LONG length, const char* pass, int mode);
