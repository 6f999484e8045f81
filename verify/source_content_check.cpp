#include "source_content_check.h"

#include "file_iterator.h"
#include "find_data_from_md5.h"
#include "mem_reader.h"
#include "split_folder_mask.h"

#include "customaction/module_instance.h"

namespace {

const DWORD manifestResourceId = 103;

}  // namespace

int CheckSourceContent(const char* sourcePath, int recursive)
{
    char fmask[MAX_PATH] = "*.*";
    char folder[MAX_PATH] = "";
    SplitFolderMask(sourcePath, folder, fmask);

    CFileIterator iterator;
    CMemReader reader(moduleInstance, manifestResourceId);
    int result = 0;
    // Without a folder there is nothing to check: walking the current
    // directory instead would pass a tree that is not the source.
    if (reader.IsValid() && folder[0] != '\0') {
        CFindDataFromMD5 input(&reader);
        result = iterator.Walk(&input, folder, fmask, recursive);
    }
    return result;
}
