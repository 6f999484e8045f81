// The MD5 digest of a whole file as 32 upper-case hexadecimal digits.
#pragma once
#include "md5_digest.h"

#include <windows.h>

#include <memory>

// Files up to this size are read whole in one block; larger ones are hashed
// in chunks, so that memory does not grow with the largest file on a disc. A
// chunk that stays in the processor's cache while it is hashed is also faster
// than one large block that has to come from memory twice.
const DWORD md5WholeReadLimit = 1024u * 1024;
const DWORD md5ChunkSize = 1024u * 1024;

// Digests file after file with one provider context and one read buffer, so
// that a check of many small files sets nothing up per file. Each file is
// opened, read and closed once.
class CFileMD5 {
public:
    explicit CFileMD5(DWORD wholeReadLimit = md5WholeReadLimit, DWORD chunkSize = md5ChunkSize);

    CFileMD5(const CFileMD5&) = delete;
    CFileMD5& operator=(const CFileMD5&) = delete;

    // The digest text in this object's buffer, which the next call rewrites,
    // or null when the file cannot be opened (sharing only reading) or read.
    // An empty file has the digest of empty content; when CryptoAPI fails the
    // digest is 32 zeros, which matches no row.
    const char* Digest(LPCSTR path);
    // Gives back the provider context and the read buffer until the next digest.
    void Release();

private:
    bool DigestFile(HANDLE file, BYTE (&digest)[md5DigestSize]);
    bool DigestInChunks(HANDLE file, BYTE (&digest)[md5DigestSize]);
    BYTE* Buffer(DWORD size);

    DWORD wholeLimit;
    DWORD chunk;
    CMD5Provider provider;
    std::unique_ptr<BYTE[]> buffer;
    DWORD capacity = 0;
    char text[2 * md5DigestSize + 1] = {};
};

// One file with a provider of its own, the text in a module-wide buffer that
// the next call rewrites; null and the digest as CFileMD5::Digest.
const char* GetFileMD5(LPCSTR path);
// The same with the whole-read limit and the chunk size given.
const char* GetFileMD5(LPCSTR path, DWORD wholeReadLimit, DWORD chunkSize);
