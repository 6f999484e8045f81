// mediakit manifest build: the MD5 manifest that CheckContentOfItems compares
// the disc's files with.
#include "code_page_text.h"
#include "command_exit.h"
#include "command_files.h"
#include "commands.h"
#include "disc_drive.h"
#include "host_entry.h"
#include "number_option.h"
#include "path_filter.h"
#include "progress_bar.h"
#include "tree_files.h"

#include "verify/file_md5.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <strings.h>

namespace {

struct ManifestArguments {
    std::string folder;
    std::string output;
    std::vector<std::string> includes;
    std::vector<std::string> excludes;
    unsigned codePage = 1252;
};

struct ManifestRow {
    std::string path;  // in the manifest's code page
    TreeFile file;
};

// The package at the root changes with every build of it, so it is never
// listed; a setup.msi in any folder below is a file like the others.
bool IsRootPackage(const std::string& relativePath)
{
    return strcasecmp(relativePath.c_str(), "\\setup.msi") == 0;
}

std::string SlashPath(const std::string& relativePath)
{
    std::string path = relativePath.substr(1);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::vector<ManifestRow> ChooseRows(const std::vector<TreeFile>& files, const CPathFilter& filter,
                                    const CCodePageText& codePage)
{
    std::vector<ManifestRow> rows;
    for (const TreeFile& file : files) {
        if (IsRootPackage(file.relativePath) || !filter.Chooses(SlashPath(file.relativePath))) {
            continue;
        }
        ManifestRow row{"", file};
        if (!codePage.ToAnsi(file.relativePath, row.path)) {
            EndCommand(exitError, file.relativePath + ": the name cannot be written in code page " +
                                      std::to_string(codePage.CodePage()));
        }
        if (row.path.find_first_of("\t\r\n") != std::string::npos) {
            EndCommand(exitError, file.relativePath + ": a tab or line break in a name cannot be written to a manifest");
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end(),
              [](const ManifestRow& a, const ManifestRow& b) { return a.path < b.path; });
    return rows;
}

void RunBuild(const ManifestArguments& args)
{
    CheckOutputTargets({{"-o", args.output}}, {{"DIR", args.folder}});
    std::unique_ptr<CCodePageText> codePage;
    std::vector<TreeFile> files;
    std::unique_ptr<CDiscDrive> drive;
    try {
        codePage = std::make_unique<CCodePageText>(args.codePage);
        drive = std::make_unique<CDiscDrive>(args.folder);
        files = CollectTreeFiles(drive->Root());
    } catch (const std::exception& e) {
        EndCommand(exitError, e.what());
    }
    std::vector<ManifestRow> rows = ChooseRows(files, CPathFilter(args.includes, args.excludes), *codePage);
    // A manifest without rows guards nothing, and the check refuses it.
    if (rows.empty()) {
        EndCommand(exitError, args.folder + ": no file " +
                                  (files.empty() ? std::string("in the tree") : "matches the options") +
                                  "; a manifest without rows would fail the check, so none is written");
    }
    for (const ManifestRow& row : rows) {
        if (const char* kind = NonRegularKindOf(row.file.fullPath)) {
            EndCommand(exitError, row.file.relativePath + ": " + kind +
                                      ", not a regular file: a disc cannot carry it (leave it out with --exclude)");
        }
    }

    uint64_t total = 0;
    for (const ManifestRow& row : rows) {
        total += row.file.size;
    }
    std::string manifest;
    {
        CProgressBar progress("hashing", total);
        for (const ManifestRow& row : rows) {
            const char* md5 = GetFileMD5(row.file.fullPath.c_str());
            if (md5 == nullptr) {
                progress.Finish();
                EndCommand(exitError, row.file.relativePath + ": cannot read the file");
            }
            manifest += row.path + '\t' + md5 + "\r\n";
            progress.Advance(row.file.size, row.file.relativePath);
        }
    }
    WriteOutputFile(args.output, manifest, "manifest");
    std::cout << args.output << ": " << rows.size() << " rows, " << manifest.size() << " bytes, "
              << files.size() - rows.size() << " files of the tree not listed\n";
}

}  // namespace

void AddManifestCommand(CLI::App& app)
{
    CLI::App* manifest = app.add_subcommand("manifest", "Make the MD5 manifest of a disc tree");
    manifest->require_subcommand(1);

    auto args = std::make_shared<ManifestArguments>();
    CLI::App* build = manifest->add_subcommand(
        "build",
        "Write the MD5 manifest of a disc tree: one row per file, its path below the root as the "
        "check looks it up (\\Folder\\name.ext), a tab and its digest in 32 upper-case hex "
        "digits, lines ending in CR LF, sorted by path; the same tree and options always give "
        "the same bytes. The root's setup.msi (the package) is never listed; one in a folder below is. A tree or options that choose no file, "
        "or a chosen entry that is not a regular file, is an error (exit 2): nothing is written.");
    build->add_option("DIR", args->folder, "Root folder of the disc tree")->required()->type_name("DIR");
    build->add_option("-o,--output", args->output, "Manifest file to write")->required()->type_name("FILE");
    build->add_option("--include", args->includes,
                      "List only files matching GLOB (repeatable). A GLOB with a slash matches the "
                      "path below the root (Help/*.htm), one without matches the file name in any "
                      "folder; letter case is ignored")
        ->type_name("GLOB");
    build->add_option("--exclude", args->excludes,
                      "Leave out files matching GLOB (repeatable; applied after --include)")
        ->type_name("GLOB");
    build->add_option("--codepage", args->codePage,
                      "ANSI code page the check sees names in (default 1252)")
        ->check(decimalNumber);
    build->callback([args] { RunBuild(*args); });
}
