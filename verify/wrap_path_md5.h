// One row of the MD5 manifest: a file's path below the source root and its
// expected digest text (32 characters), both standing in the manifest's own
// block of rows; valid as long as the manifest is.
#pragma once

struct CWrapPathMD5 {
    const char* path;
    const char* md5;
};
