#include "wrap_path_md5.h"

#include "base/bounded_text.h"

CWrapPathMD5::CWrapPathMD5(const char* filePath, const char* fileMD5)
{
    CopyBounded(path, sizeof(path), filePath);
    CopyBounded(md5, sizeof(md5), fileMD5);
}
