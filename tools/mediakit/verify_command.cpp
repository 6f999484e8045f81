// mediakit verify: a disc tree against a listing, with the library's own
// walker and comparison, telling every difference.
#include "code_page_text.h"
#include "command_exit.h"
#include "commands.h"
#include "difference_printer.h"
#include "disc_drive.h"
#include "recoded_input.h"

#include "verify/file_iterator.h"
#include "verify/find_data_from_bin.h"
#include "verify/mem_reader.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

struct VerifyArguments {
    std::string folder;
    std::string listing;
    unsigned codePage = 1252;
    bool first = false;
};

void RunVerify(const VerifyArguments& args)
{
    std::unique_ptr<CCodePageText> codePage;
    try {
        codePage = std::make_unique<CCodePageText>(args.codePage);
    } catch (const std::invalid_argument& e) {
        EndCommand(exitError, e.what());
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(args.listing, error)) {
        EndCommand(exitError, args.listing + ": no such listing file");
    }
    CMemReader reader(args.listing.c_str());
    if (!reader.IsValid()) {
        EndCommand(exitError, args.listing + ": cannot read the listing, or it is empty");
    }
    std::unique_ptr<CDiscDrive> drive;
    try {
        drive = std::make_unique<CDiscDrive>(args.folder);
    } catch (const std::runtime_error& e) {
        EndCommand(exitError, e.what());
    }

    CDifferencePrinter printer(std::cout, args.first);
    CFileIterator iterator;
    iterator.SetObserver(&printer);
    BOOL same = FALSE;
    {
        CFindDataFromBin listing(&reader);
        CRecodedInput input(listing, *codePage);
        same = iterator.Walk(&input, drive->Root().c_str(), "*.*", 1);
    }
    unsigned differences = printer.missing + printer.extra + printer.changed;
    if (same && differences == 0 && printer.troubles == 0) {
        std::cout << args.folder << ": matches " << args.listing << '\n';
        EndCommand(exitOk, "");
    }
    std::cout << args.folder << ": " << differences << " difference(s): " << printer.missing
              << " missing, " << printer.extra << " extra, " << printer.changed << " changed";
    if (printer.troubles != 0) {
        std::cout << "; " << printer.troubles << " error(s)";
    }
    if (args.first) {
        std::cout << " (stopped at the first, as the installer's check does)";
    }
    std::cout << '\n';
    EndCommand(printer.troubles != 0 ? exitError : exitDifferent, "");
}

}  // namespace

void AddVerifyCommand(CLI::App& app)
{
    auto args = std::make_shared<VerifyArguments>();
    CLI::App* verify = app.add_subcommand(
        "verify", "Compare a disc tree with a listing the way CheckItems does, telling every "
                  "difference (missing, extra, changed size or attributes) on its own line. "
                  "Exit 0 when the tree matches, 1 when it differs, 2 on usage, I/O or "
                  "corrupt-listing errors");
    verify->add_option("DIR", args->folder, "Root folder of the disc tree")->required();
    verify->add_option("--listing", args->listing, "Binary listing to compare with")->required();
    verify->add_option("--codepage", args->codePage, "ANSI code page of the listing's names (default 1252)");
    verify->add_flag("--first", args->first, "Stop at the first difference, where CheckItems stops");
    verify->callback([args] { RunVerify(*args); });
}
