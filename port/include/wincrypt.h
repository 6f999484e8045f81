// The CryptoAPI subset this system calls, for POSIX hosts: providers,
// MD5 and SHA-256 hashes, and AES-256 keys imported as plain text for ECB.
#pragma once
#include <windows.h>

typedef unsigned int ALG_ID;
typedef ULONG_PTR HCRYPTPROV;
typedef ULONG_PTR HCRYPTHASH;
typedef ULONG_PTR HCRYPTKEY;

#define PROV_RSA_FULL 1
#define PROV_RSA_AES 24
#define CRYPT_VERIFYCONTEXT 0xF0000000u
#define CRYPT_MACHINE_KEYSET 0x00000020u

#define CALG_MD5 0x00008003u
#define CALG_SHA_256 0x0000800Cu
#define CALG_AES_256 0x00006610u

#define HP_ALGID 0x0001
#define HP_HASHVAL 0x0002
#define HP_HASHSIZE 0x0004

#define PLAINTEXTKEYBLOB 0x8
#define CUR_BLOB_VERSION 2

#define KP_MODE 4
#define CRYPT_MODE_CBC 1
#define CRYPT_MODE_ECB 2

struct BLOBHEADER {
    BYTE bType;
    BYTE bVersion;
    WORD reserved;
    ALG_ID aiKeyAlg;
};
typedef BLOBHEADER PUBLICKEYSTRUC;

BOOL WINAPI CryptAcquireContextA(HCRYPTPROV* provider, LPCSTR container, LPCSTR providerName,
                                 DWORD providerType, DWORD flags);
BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                            HCRYPTHASH* hash);
BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD dataLength, DWORD flags);
BOOL WINAPI CryptGetHashParam(HCRYPTHASH hash, DWORD param, BYTE* data, DWORD* dataLength,
                              DWORD flags);
BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash);

BOOL WINAPI CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD dataLength,
                           HCRYPTKEY publicKey, DWORD flags, HCRYPTKEY* key);
BOOL WINAPI CryptSetKeyParam(HCRYPTKEY key, DWORD param, const BYTE* data, DWORD flags);
BOOL WINAPI CryptEncrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                         DWORD* dataLength, DWORD bufferLength);
BOOL WINAPI CryptDecrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                         DWORD* dataLength);
BOOL WINAPI CryptDestroyKey(HCRYPTKEY key);
