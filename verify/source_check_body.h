// What the listing check and the content check share: the installer's source
// path split into folder and mask, the embedded data copied from the library's
// own resources, and one walk of the tree with the input made on that data.
#pragma once
#include "file_iterator.h"
#include "mem_reader.h"
#include "split_folder_mask.h"

#include "base/module_instance.h"

// 1 when the tree below sourcePath passes the input made on resource
// resourceId, 0 otherwise (also when the resource is missing or empty).
template <typename TInput>
int CheckSourceAgainst(DWORD resourceId, const char* sourcePath, int recursive)
{
    char fmask[MAX_PATH] = "*.*";
    char folder[MAX_PATH] = "";
    SplitFolderMask(sourcePath, folder, fmask);

    CFileIterator iterator;
    CMemReader reader(moduleInstance, resourceId);
    int result = 0;
    // Without a folder there is nothing to check: walking the current
    // directory instead would verify a tree that is not the source.
    if (reader.IsValid() && folder[0] != '\0') {
        TInput input(&reader);
        result = iterator.Walk(&input, folder, fmask, recursive);
    }
    return result;
}
