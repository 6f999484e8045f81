#include "source_content_check.h"

#include "find_data_from_md5.h"
#include "source_check_body.h"

namespace {

const DWORD manifestResourceId = 103;

}  // namespace

int CheckSourceContent(const char* sourcePath, int recursive)
{
    return CheckSourceAgainst<CFindDataFromMD5>(manifestResourceId, sourcePath, recursive);
}
