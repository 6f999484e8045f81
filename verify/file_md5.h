// The MD5 digest of a whole file as 32 upper-case hexadecimal digits.
#pragma once
#include "md5_digest.h"

#include <windows.h>

// Files are read and hashed in chunks of this size: memory does not grow
// with the largest file on a disc.
const DWORD md5ChunkSize = 64u * 1024;

// The digest text in a module-wide buffer that the next call rewrites (not
// re-entrant), or null when the file cannot be opened (sharing only reading)
// or read, or no chunk can be allocated. An empty file has the digest of
// empty content; when CryptoAPI fails the digest is 32 zeros, which matches
// no row. Each file is opened, read and closed once. The hash is made in
// context when one is given (GetMD5), in chunks of chunkSize bytes (1 to
// md5ChunkSize).
const char* GetFileMD5(LPCSTR path, HCRYPTPROV context = 0, DWORD chunkSize = md5ChunkSize);
