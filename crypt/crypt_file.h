// Body of CryptFile: encrypts the configured byte range of each listed installed file.
#pragma once
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include "file_range.h"

// Reads "Files", the folder "_DBASE_", "RectPyrc" and "ProductNameShort" and
// encrypts the range of each listed file in place. Run from the installation
// script it takes the four from "CustomActionData" instead (see
// crypt_action_data.h). An item that could name a file outside the folder
// (see ItemStaysInFolder) is skipped like a missing one; any failure skips
// quietly. Whatever can throw or fail for want of memory comes before a
// file's first byte is written, so an exception leaves that file as it was.
void CryptInstalledFiles(MSIHANDLE session);

// What CryptFileRange and TransformFileRange return when a write failed and
// the file could not be put back as it was: its range or size is damaged.
const LONG cryptRangeDamaged = -2;

// Encrypts length bytes (-1: the file's size) at start of the file in place.
// Returns the number of bytes processed; -1 when the file was not changed
// (also after a failed write, once the old bytes and size were put back and
// read back); or cryptRangeDamaged. Files of 4 GiB or more and ranges whose
// end does not fit a LONG are refused with -1.
LONG CryptFileRange(const char* fname, const char* pass, LONG start, LONG length);

// Encrypts the data in place with the pass phrase (at most 31 characters
// count); TRUE when the cipher accepted and transformed them.
BOOL CryptBuffer(BYTE* data, LONG length, const char* pass);

// The same two with the cipher's mode (cipherEncrypt or cipherDecrypt), for
// the tools that read the ranges back; fault, when given, says why the
// result is -1 or cryptRangeDamaged (rangeFaultNone otherwise).
LONG TransformFileRange(const char* fname, const char* pass, LONG start, LONG length, int mode,
                        RangeFault* fault = nullptr);
BOOL TransformBuffer(BYTE* data, LONG length, const char* pass, int mode);

// Opens a file as the range transforms do: for reading and writing, shared
// for both, never created. Lets a tool check every file before it changes any.
HANDLE OpenRangeFile(const char* fname);
