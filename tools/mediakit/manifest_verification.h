// A disc tree against an MD5 manifest, the way CheckContentOfItems checks
// it, telling every changed file.
#pragma once
#include "code_page_text.h"
#include "finding_writer.h"
#include "verify_input.h"

#include <string>

struct ManifestOutcome {
    unsigned rows = 0;      // rows loaded
    unsigned checked = 0;   // listed files found and digested
    unsigned changed = 0;   // listed files whose digest differs or that cannot be read
    unsigned missing = 0;   // listed files not on the disc (told as notes)
    unsigned troubles = 0;  // folders that cannot be read, paths too long, a broken manifest
    bool passes = false;    // what the installer's check would answer
};

// root is the tree as the platform names it ("X:\"). Ends the command with
// exit code 2 when the manifest cannot be read or is not in codePage.
ManifestOutcome VerifyManifest(const std::string& root, const VerifyInput& manifestInput,
                               const CCodePageText& codePage, bool first, CFindingWriter& writer);
