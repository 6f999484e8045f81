// Makes the binary listing of a disc tree, as the listing check will see the
// tree: entries as the platform's directory enumeration reports them, sorted
// by name, every byte the format leaves undefined written as zero.
#pragma once
#include "code_page_text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ListingOptions {
    // Attributes as a pressed disc reports them (files 0x21, folders 0x31)
    // instead of those of the tree.
    bool disc = false;
    bool recurse = true;
};

struct ListingCounts {
    unsigned folders = 0;  // folder entries, the root not counted
    unsigned files = 0;
};

// root is the folder as the platform names it ("X:\"). Throws
// std::runtime_error naming the entry that cannot be listed. progress is
// called with each folder's path relative to the root.
std::vector<uint8_t> BuildListing(const std::string& root, const CCodePageText& codePage,
                                  const ListingOptions& options, ListingCounts& counts,
                                  const std::function<void(const std::string&)>& progress);
