#include "source_listing_check.h"

#include "file_iterator.h"
#include "find_data_from_bin.h"
#include "mem_reader.h"
#include "split_folder_mask.h"

#include "customaction/module_instance.h"

namespace {

const DWORD listingResourceId = 101;

}  // namespace

int CheckSourceListing(const char* sourcePath, int recursive)
{
    char fmask[MAX_PATH] = "*.*";
    char folder[MAX_PATH] = "";
    SplitFolderMask(sourcePath, folder, fmask);

    CFileIterator iterator;
    CMemReader reader(moduleInstance, listingResourceId);
    int result = 0;
    // Without a folder there is nothing to check: walking the current
    // directory instead would verify the wrong tree.
    if (reader.IsValid() && folder[0] != '\0') {
        CFindDataFromBin input(&reader);
        result = iterator.Walk(&input, folder, fmask, recursive);
    }
    return result;
}
