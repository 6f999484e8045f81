#include "manifest_verification.h"

#include "command_exit.h"
#include "manifest_report.h"
#include "progress_bar.h"
#include "tree_files.h"

#include "verify/file_iterator.h"
#include "verify/find_data_from_md5.h"
#include "verify/mem_reader.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

// The manifest's text in the host's UTF-8, in which the port names the tree.
std::string ReadManifest(const std::string& path, const CCodePageText& codePage)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        EndCommand(exitError, path + ": cannot read the manifest");
    }
    std::string ansi((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        EndCommand(exitError, path + ": cannot read the manifest");
    }
    if (ansi.empty()) {
        EndCommand(exitError, path + ": the manifest is empty; the check fails without one");
    }
    std::string utf8;
    if (!codePage.FromAnsi(ansi, utf8)) {
        EndCommand(exitError, path + ": the manifest is not text in code page " +
                                  std::to_string(codePage.CodePage()));
    }
    return utf8;
}

// What the listed files that are on the disc weigh, for the progress bar.
uint64_t ListedBytes(const std::string& root, const CManifestReport& report)
{
    uint64_t total = 0;
    try {
        for (const TreeFile& file : CollectTreeFiles(root)) {
            total += report.Row(file.relativePath) != nullptr ? file.size : 0;
        }
    } catch (const std::runtime_error&) {
        // The walk itself tells what is wrong with the tree.
    }
    return total;
}

}  // namespace

ManifestOutcome VerifyManifest(const std::string& root, const std::string& manifestPath,
                               const CCodePageText& codePage, bool first, std::ostream& out)
{
    std::string text = ReadManifest(manifestPath, codePage);
    CMemReader reader(static_cast<LPCSTR>(nullptr));
    reader.SetData(text.data(), static_cast<DWORD>(text.size()));
    CFindDataFromMD5 manifest(&reader);

    ManifestOutcome outcome;
    outcome.rows = static_cast<unsigned>(manifest.Items().size());
    CProgressBar progress("hashing");
    CManifestReport report(manifest, out, first, progress);
    // Weighing the files costs a walk of its own: only for a bar that shows.
    if (progress.CanShow()) {
        progress.SetTotal(ListedBytes(root, report));
    }
    CFileIterator iterator;
    iterator.SetObserver(&report);
    outcome.passes = iterator.Walk(&report, root.c_str(), "*.*", 1) != FALSE;
    progress.Finish();
    outcome.checked = report.checked;
    outcome.changed = report.changed;
    outcome.troubles = report.troubles;
    // After a walk stopped early, files not yet met are not known to be missing.
    if (!first || outcome.passes) {
        outcome.missing = report.TellMissing();
    }
    return outcome;
}
