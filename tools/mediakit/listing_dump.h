// The binary listing as readable text, one entry a line, with the byte
// offset where a corrupt listing breaks.
#pragma once
#include "code_page_text.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct ListingDumpResult {
    bool complete = false;
    size_t brokenAt = 0;  // byte offset of the break when not complete
    std::string reason;
    unsigned folderRecords = 0;
    unsigned folders = 0;
    unsigned files = 0;
};

ListingDumpResult DumpListing(const std::vector<uint8_t>& data, const CCodePageText& codePage,
                              std::ostream& out);
