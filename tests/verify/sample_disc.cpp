#include "sample_disc.h"

#ifndef _WIN32
#include <port/host.h>
#endif

namespace fs = std::filesystem;

std::string SampleDisc()
{
#ifdef _WIN32
    std::string path = "Z:" SAMPLE_DISC_DIR "/";
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
#else
    PortSetDrive('E', 5, SAMPLE_DISC_DIR);
    return "E:\\";
#endif
}

fs::path SampleDiscFolder()
{
#ifdef _WIN32
    std::string folder = SampleDisc();
    folder.pop_back();  // the runtime's copy does not take a trailing separator
    return fs::path(folder);
#else
    return fs::path(SAMPLE_DISC_DIR);
#endif
}

void SetReadOnly(const fs::path& path, bool readOnly)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

void CopySampleDisc(const CScratchFolder& scratch)
{
    // Entry by entry: the recursive copy of the Windows runtime loses sub-folders.
    const fs::path from = SampleDiscFolder();
    const fs::path to = scratch.Path();
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else {
            fs::copy_file(entry.path(), target);
            SetReadOnly(target, true);
        }
    }
}
