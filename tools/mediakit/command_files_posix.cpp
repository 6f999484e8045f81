#include "command_files.h"
#include "command_targets.h"

#include "command_exit.h"
#include "host_entry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Symbolic links nest at most this deep, as the kernel allows.
const int maxLinkHops = 40;

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    EndCommand(exitError, path + ": " + reason);
}

std::string SystemReason(int error)
{
    return std::strerror(error);
}

bool WriteAll(int fd, const std::string& content)
{
    size_t done = 0;
    while (done < content.size()) {
        ssize_t put = write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

// Where the chain of symbolic links starting at path ends.
fs::path FollowLinks(const std::string& path, const std::string& shown)
{
    fs::path target = path;
    for (int hop = 0; hop <= maxLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error))) {
            return target;
        }
        fs::path next = fs::read_symlink(target, error);
        if (error) {
            Fail(shown, "cannot read the symbolic link: " + error.message());
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    Fail(shown, "too many levels of symbolic links");
}

void WriteReplacing(const fs::path& target, const std::string& content, const std::string& shown,
                    const std::string& what, const struct stat* old)
{
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        Fail(shown, "cannot write the " + what + ": " + SystemReason(errno));
    }
    mode_t mode = 0;
    if (old != nullptr) {
        mode = old->st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool written = fchmod(fd, mode) == 0 && WriteAll(fd, content);
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(name.data(), target.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(name.data());
        Fail(shown, "cannot write the " + what + ": " + SystemReason(error));
    }
}

// Ends the command unless info, of the target that path leads to, is a regular file.
void RefuseUnreplaceable(const std::string& path, const fs::path& target, const struct stat& info,
                         const std::string& what)
{
    if (S_ISREG(info.st_mode)) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        Fail(path, "a folder; give a file name to write the " + what + " to");
    }
    const char* kind = NonRegularKind(info.st_mode);
    Fail(path, std::string(target != fs::path(path) ? "a symbolic link to " : "") +
                   (kind != nullptr ? kind : "not a regular file") + "; only a regular file is replaced");
}

// Where a path leads, and which file is there if any.
struct Identity {
    fs::path resolved;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;

    bool SameFile(const Identity& other) const
    {
        return (exists && other.exists) ? device == other.device && inode == other.inode
                                        : resolved == other.resolved;
    }
};

Identity IdentityOf(const std::string& path)
{
    Identity identity;
    std::error_code error;
    fs::path target = FollowLinks(path, path);
    identity.resolved = fs::weakly_canonical(fs::absolute(target, error), error);
    struct stat info {};
    if (stat(target.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
    }
    return identity;
}

// Whether path lies at or below folder, both resolved.
bool Contains(const fs::path& folder, const fs::path& path)
{
    auto f = folder.begin();
    auto p = path.begin();
    for (; f != folder.end() && !f->empty(); ++f, ++p) {
        if (p == path.end() || *f != *p) {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace {

// An open descriptor of the regular file at path; ends the command for
// anything else.
int OpenInputFile(const std::string& path, const std::string& what, struct stat& info)
{
    // Not blocking: a FIFO without a writer is refused below, not waited for.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Fail(path, errno == ENOENT ? "no such " + what + " file" : "cannot open the " + what + ": " + SystemReason(errno));
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const char* kind = S_ISDIR(info.st_mode) ? "a folder" : NonRegularKind(info.st_mode);
        close(fd);
        Fail(path, std::string(kind != nullptr ? kind : "not a regular file") + ", not a " + what +
                       " file; it is not read");
    }
    return fd;
}

}  // namespace

void CheckInputFile(const std::string& path, const std::string& what)
{
    struct stat info {};
    close(OpenInputFile(path, what, info));
}

std::string ReadInputFile(const std::string& path, const std::string& what)
{
    struct stat info {};
    int fd = OpenInputFile(path, what, info);
    // Read straight into the text, sized once with a byte to spare, so that
    // the read that finds the end needs no room of its own; a file that grew
    // meanwhile is read whole all the same.
    std::string content(static_cast<size_t>(info.st_size) + 1, '\0');
    size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            content.resize(content.size() * 2);
        }
        ssize_t got = read(fd, &content[filled], content.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            int error = errno;
            close(fd);
            Fail(path, "cannot read the " + what + ": " + SystemReason(error));
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<size_t>(got);
    }
    content.resize(filled);
    close(fd);
    return content;
}

void WriteOutputFile(const std::string& path, const std::string& content, const std::string& what)
{
    fs::path target = FollowLinks(path, path);
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            Fail(path, "cannot write the " + what + ": " + SystemReason(errno));
        }
        WriteReplacing(target, content, path, what, nullptr);
        return;
    }
    RefuseUnreplaceable(path, target, info, what);
    WriteReplacing(target, content, path, what, &info);
}

bool SameTarget(const std::string& a, const std::string& b)
{
    return IdentityOf(a).SameFile(IdentityOf(b));
}

void RefuseUnreplaceableOutput(const std::string& path)
{
    fs::path target = FollowLinks(path, path);
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0) {
        RefuseUnreplaceable(path, target, info, "output");
    }
}

bool LiesInside(const std::string& path, const std::string& folder)
{
    std::error_code error;
    fs::path resolvedFolder = fs::weakly_canonical(fs::absolute(folder), error);
    return !error && Contains(resolvedFolder, IdentityOf(path).resolved);
}
