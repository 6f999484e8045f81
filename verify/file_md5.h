// The MD5 digest of a whole file as 32 upper-case hexadecimal digits.
#pragma once
#include <windows.h>

// Files up to this size are read whole in one block; larger ones are hashed
// in chunks, so that memory does not grow with the largest file on a disc. A
// chunk that stays in the processor's cache while it is hashed is also faster
// than one large block that has to come from memory twice.
const DWORD md5WholeReadLimit = 1024u * 1024;
const DWORD md5ChunkSize = 1024u * 1024;

// The digest text in a module-wide buffer that the next call rewrites, or null
// when the file cannot be opened (sharing only reading) or read. An empty file
// has the digest of empty content.
const char* GetFileMD5(LPCSTR path);
// The same with the whole-read limit and the chunk size given.
const char* GetFileMD5(LPCSTR path, DWORD wholeReadLimit, DWORD chunkSize);
