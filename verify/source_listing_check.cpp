#include "source_listing_check.h"

#include "find_data_from_bin.h"
#include "source_check_body.h"

namespace {

const DWORD listingResourceId = 101;

}  // namespace

int CheckSourceListing(const char* sourcePath, int recursive)
{
    return CheckSourceAgainst<CFindDataFromBin>(listingResourceId, sourcePath, recursive);
}
