#include "scratch_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

CScratchFolder::CScratchFolder()
{
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() /
                      ("kit-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(folder);
    path = (folder / "").string();
}

CScratchFolder::~CScratchFolder()
{
    std::error_code ignored;
    fs::path folder(path);
    // Read-only entries must become writable before they can be removed.
    for (auto it = fs::recursive_directory_iterator(folder, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(folder, ignored);
}

std::string CScratchFolder::Write(const std::string& relativeName, const std::string& content) const
{
    fs::path file = fs::path(path) / fs::path(relativeName).make_preferred();
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return file.string();
}

std::string CScratchFolder::Read(const std::string& relativeName) const
{
    std::ifstream in(fs::path(path) / fs::path(relativeName).make_preferred(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}
