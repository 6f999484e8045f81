// What CryptFile reads when it runs deferred: "CustomActionData", which the
// package sets from "[_DBASE_]|[Files]|[RectPyrc]|[ProductNameShort]".
#pragma once
#include <windows.h>

// Buffer capacities, terminator included, of the four values CryptFile works
// from; the immediate reads use them and the deferred fields are held to them.
const DWORD cryptFolderCapacity = MAX_PATH;
const DWORD cryptFilesCapacity = 1300;
const DWORD cryptParamsCapacity = 255;
const DWORD cryptPassCapacity = 32;
// The four values, three separators and one terminator: a longer
// CustomActionData fails its read.
const DWORD cryptActionDataCapacity =
    cryptFolderCapacity + cryptFilesCapacity + cryptParamsCapacity + cryptPassCapacity;

struct CryptActionFields {
    const char* folder;
    char* files;
    char* params;
    const char* pass;
};

// Splits data in place at its first three "|": folder, Files and RectPyrc
// end there, the pass phrase is all that follows (it may hold "|"). False for
// fewer than three "|", an empty folder, or a field too long for its capacity.
bool SplitCryptActionData(char* data, CryptActionFields* fields);
