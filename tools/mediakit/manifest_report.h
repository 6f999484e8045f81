// The manifest's own input, watched: each file it rejects is told with its
// path, the listed digest and the one found; listed files the walk never met
// are told as notes, since their absence does not fail the check.
#pragma once
#include "finding_writer.h"
#include "progress_bar.h"

#include "verify/find_data_from_md5.h"
#include "verify/walk_observer.h"

#include <string>
#include <vector>

class CManifestReport : public CFindDataInput, public CWalkObserver {
public:
    CManifestReport(CFindDataFromMD5& manifest, CFindingWriter& writer, bool stopAtFirst,
                    CProgressBar& progressBar);
    ~CManifestReport() = default;

    BOOL Begin(CFileIterator* walker) override;
    void End() override;
    BOOL GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded) override;
    LONG SavePosition() override { return input.SavePosition(); }
    void RestorePosition(LONG token) override { input.RestorePosition(token); }
    BOOL CheckFolder(const WIN32_FIND_DATAA& entry) override { return input.CheckFolder(entry); }
    // The input's own decision; what it decided is told.
    BOOL CheckFile(const WIN32_FIND_DATAA& entry) override;
    BOOL IsPerEntry() override { return input.IsPerEntry(); }

    // Rejections were told by CheckFile already.
    void OnDifference(Difference, const char*, const WIN32_FIND_DATAA*, const WIN32_FIND_DATAA*) override {}
    void OnTrouble(Trouble kind, const char* relativePath, const char* name) override;
    BOOL StopAtFirst() override { return first ? TRUE : FALSE; }

    // Tells every deciding row whose file the walk did not meet; returns their number.
    unsigned TellMissing();
    // True when a row decides for a path below the root ("\\Help\\index.htm");
    // looked up as the check looks it up, without regard to case.
    bool Lists(const std::string& relativePath) const;

    unsigned checked = 0;  // listed files digested
    unsigned changed = 0;  // listed files rejected
    unsigned troubles = 0;

private:
    CFindDataFromMD5& input;
    CFindingWriter& writer;
    bool first;
    CProgressBar& progress;
    CFileIterator* iterator = nullptr;
    // Per row of the manifest, whether the walk met its file.
    std::vector<bool> met;
};
