// Tells each difference of a walk against the listing: missing, extra or
// changed, with the entry's path; counts them for the summary.
#pragma once
#include "finding_writer.h"

#include "verify/walk_observer.h"

#include <string>

class CDifferencePrinter : public CWalkObserver {
public:
    // root names the tree ("X:\\"), so that entries on disk that are not
    // regular files can be told as what they are.
    CDifferencePrinter(CFindingWriter& writer, bool stopAtFirst, const std::string& root);
    ~CDifferencePrinter() = default;

    void OnDifference(Difference kind, const char* relativePath, const WIN32_FIND_DATAA* expected,
                      const WIN32_FIND_DATAA* found) override;
    void OnTrouble(Trouble kind, const char* relativePath, const char* name) override;
    BOOL StopAtFirst() override { return first ? TRUE : FALSE; }

    unsigned missing = 0;
    unsigned extra = 0;
    unsigned changed = 0;
    unsigned troubles = 0;

private:
    // What the entry is in words, and in its record; the host is asked for
    // entries on disk, which may be neither file nor folder.
    std::string Describe(const char* relativePath, const WIN32_FIND_DATAA& entry, bool onDisk,
                         nlohmann::ordered_json& record) const;

    CFindingWriter& writer;
    bool first;
    std::string root;
};
