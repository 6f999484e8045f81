// Body of CheckItems: the installation source against the embedded listing.
#pragma once

// 1 when the tree below sourcePath matches the listing, 0 otherwise.
int CheckSourceListing(const char* sourcePath, int recursive);
