#!/usr/bin/env python3
"""Copies a product's folder into a disc tree, leaving off what --exclude
names, after refusing every name a disc cannot carry. Nothing is written when
a name is refused, and a file or folder swapped after the check (for a
symbolic link, say) is refused instead of copied. Called by ./kit master."""

import argparse
import errno
import fnmatch
import os
import stat
import sys

import output

# The installer's path limit, terminator excluded, with the drive root in front.
PATH_LIMIT = 259
DRIVE_ROOT = "E:\\"
# Windows' device names, reserved in every folder and with any extension; it
# counts the superscript digits one to three as digits.
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | {
    f"{d}{n}" for d in ("COM", "LPT") for n in "0123456789\u00b9\u00b2\u00b3"}
FORBIDDEN = set('<>:"/\\|?*')
# The image's Joliet names are what Windows reads. xorriso writes ';' there
# as '_', as it does the characters Windows refuses anyway, and cuts a name
# to 103 UTF-16 units (104 for a file whose name has a dot before its end).
JOLIET_REPLACED = {";"}
JOLIET_NAME_LIMIT = 103
LEFTOVERS = ["*~", "*.swp", "*.swo", "*.bak", "*.orig", "*.tmp", "#*#", ".DS_Store", "Thumbs.db", "desktop.ini"]


def matches(pattern, relative):
    """A pattern with a slash matches the path below the root folder by folder,
    one without matches the name in any folder; letter case is ignored."""
    pattern = pattern.lower()
    relative = relative.lower()
    if "/" not in pattern:
        return fnmatch.fnmatchcase(relative.rsplit("/", 1)[-1], pattern)
    parts, wanted = relative.split("/"), pattern.strip("/").split("/")
    return len(parts) == len(wanted) and all(fnmatch.fnmatchcase(p, w) for p, w in zip(parts, wanted))


def name_fault(name, is_folder):
    """Why Windows, or the disc's Joliet names, cannot hold a file or folder
    of this name as it stands, or None."""
    if any(ord(c) < 32 for c in name):
        return "holds a control character"
    bad = sorted(FORBIDDEN & set(name))
    if bad:
        return "holds " + " ".join(bad) + ", which Windows does not allow in a name"
    if name.endswith((".", " ")):
        return "ends with a dot or a blank, which Windows drops"
    # Windows ignores what follows the first dot, and blanks before it.
    if name.split(".")[0].rstrip(" ").upper() in DEVICE_NAMES:
        return "is a device name on Windows"
    bad = sorted(JOLIET_REPLACED & set(name))
    if bad:
        return "holds " + " ".join(bad) + ", which the disc's Joliet names write as _"
    if any(ord(c) > 0xFFFF for c in name):
        return "holds a character beyond U+FFFF, which the disc's Joliet names write as _"
    limit = JOLIET_NAME_LIMIT + (0 if is_folder or "." not in name[:-1] else 1)
    if len(name) > limit:
        return f"is {len(name)} characters; the disc's Joliet names cut it to {limit}"
    return None


class Swapped(Exception):
    """A file or folder is no longer the one whose name was checked."""


# What identifies an entry between its check and its copy.
def identity(info):
    return (info.st_dev, info.st_ino, stat.S_IFMT(info.st_mode), info.st_size if stat.S_ISREG(info.st_mode) else 0)


NO_FOLLOW = os.O_RDONLY | os.O_NOFOLLOW | os.O_CLOEXEC | os.O_NOCTTY | os.O_NONBLOCK


class Stager:
    def __init__(self, source, codepage, excludes):
        self.source = source
        self.encoding = f"cp{codepage}"
        self.excludes = excludes
        self.refusals = []
        self.warnings = []
        self.entries = []  # (relative path, is folder), parents first
        self.checked = {}  # relative path -> identity when its name was checked

    def refuse(self, relative, reason):
        self.refusals.append((relative, reason))

    def code_page_fault(self, name):
        """Why the name cannot be written in the code page, or None. A name
        whose bytes read back as other letters (a code page that maps two
        letters to one byte) would be installed and checked under the other
        name."""
        try:
            encoded = name.encode(self.encoding)
        except UnicodeError:
            return f"cannot be written in code page {self.encoding[2:]} (choose it with --codepage)"
        if encoded.decode(self.encoding) != name:
            return (f"reads back as {encoded.decode(self.encoding)} in code page {self.encoding[2:]}, "
                    "so the installer would see another name")
        return None

    def ansi_length(self, relative):
        """The path's length in bytes of the code page, as the installer counts
        it; letters the code page lacks (refused on their own) count one."""
        return len((DRIVE_ROOT + relative.replace("/", "\\")).encode(self.encoding, "replace"))

    def check_entry(self, relative, name, path):
        info = os.lstat(path)
        mode = info.st_mode
        if stat.S_ISLNK(mode):
            self.refuse(relative, "is a symbolic link; a disc carries the file itself (copy it in)")
            return False
        if not (stat.S_ISREG(mode) or stat.S_ISDIR(mode)):
            self.refuse(relative, "is neither a file nor a folder")
            return False
        if not os.access(path, os.R_OK | (os.X_OK if stat.S_ISDIR(mode) else 0)):
            self.refuse(relative, "cannot be read")
            return False
        is_folder = stat.S_ISDIR(mode)
        self.checked[relative] = identity(info)
        try:
            name.encode("utf-8", "strict")
        except UnicodeError:
            self.refuse(relative, "is not UTF-8 text, so its letters are unknown")
            return is_folder
        fault = name_fault(name, is_folder) or self.code_page_fault(name)
        if fault:
            self.refuse(relative, fault)
        length = self.ansi_length(relative)
        if length > PATH_LIMIT:
            self.refuse(relative, f"{DRIVE_ROOT}{relative} is {length} bytes in code page {self.encoding[2:]}, "
                                  f"over the installer's {PATH_LIMIT}")
        if name.startswith("."):
            self.warnings.append(f"{relative}: a dot-file; it goes onto the disc (leave it off with --exclude)")
        elif any(fnmatch.fnmatchcase(name.lower(), p.lower()) for p in LEFTOVERS):
            self.warnings.append(f"{relative}: looks like an editor or system leftover; it goes onto the disc "
                                 "(leave it off with --exclude)")
        return is_folder

    def scan(self, relative=""):
        folder = os.path.join(self.source, relative)
        try:
            names = sorted(os.listdir(folder))
        except OSError as error:
            self.refuse(relative or ".", f"cannot be read: {error.strerror}")
            return
        seen = {}
        for name in names:
            child = f"{relative}/{name}" if relative else name
            if any(matches(p, child) for p in self.excludes):
                continue
            twin = seen.setdefault(name.casefold(), name)
            if twin != name:
                self.refuse(child, f"differs from {twin} only in letter case; Windows sees one name")
            is_folder = self.check_entry(child, name, os.path.join(folder, name))
            self.entries.append((child, is_folder))
            if is_folder:
                self.scan(child)

    def open_checked(self, relative):
        """Opens the entry component by component without following a link,
        and refuses it unless each component is still what was checked."""
        fd = os.open(self.source, NO_FOLLOW | os.O_DIRECTORY)
        parts = relative.split("/")
        try:
            for depth in range(len(parts)):
                so_far = "/".join(parts[:depth + 1])
                try:
                    opened = os.open(parts[depth], NO_FOLLOW, dir_fd=fd)
                except OSError as error:
                    if error.errno == errno.ELOOP:
                        raise Swapped(f"{so_far}: was replaced by a symbolic link after its name was checked; "
                                      "nothing was staged") from None
                    raise Swapped(f"{so_far}: changed after its name was checked ({error.strerror}); "
                                  "nothing was staged") from None
                os.close(fd)
                fd = opened
                if identity(os.fstat(fd)) != self.checked[so_far]:
                    raise Swapped(f"{so_far}: was replaced after its name was checked; nothing was staged")
            return fd
        except BaseException:
            os.close(fd)
            raise

    def copy_file(self, relative, destination):
        fd = self.open_checked(relative)
        try:
            info = os.fstat(fd)
            copied = 0
            try:
                with open(destination, "xb") as out:
                    while True:
                        chunk = os.read(fd, 1 << 20)
                        if not chunk:
                            break
                        out.write(chunk)
                        copied += len(chunk)
            except OSError as error:
                # A full disk names no file: say which one was being written.
                raise OSError(error.errno, error.strerror, error.filename or destination) from None
            if copied != info.st_size:
                raise Swapped(f"{relative}: changed size while it was copied; nothing was staged")
            os.utime(destination, ns=(info.st_atime_ns, info.st_mtime_ns))
            os.chmod(destination, 0o644)
        finally:
            os.close(fd)

    def copy_folder_times(self, relative, destination):
        fd = self.open_checked(relative)
        try:
            info = os.fstat(fd)
        finally:
            os.close(fd)
        os.utime(destination, ns=(info.st_atime_ns, info.st_mtime_ns))
        os.chmod(destination, 0o755)

    def copy(self, target):
        """Copies what was checked into target, which this call makes; on any
        failure target is removed again and the reason raised."""
        os.makedirs(target)
        try:
            for relative, is_folder in self.entries:
                destination = os.path.join(target, relative)
                if is_folder:
                    # Checked with its files, and again when its times are copied.
                    os.mkdir(destination)
                else:
                    self.copy_file(relative, destination)
            for relative, is_folder in reversed(self.entries):
                if is_folder:
                    self.copy_folder_times(relative, os.path.join(target, relative))
        except BaseException:
            output.remove(target)
            raise


def main():
    parser = argparse.ArgumentParser(
        prog="stage_tree.py",
        description="Copies FOLDER into TARGET (which must not exist) for a disc, after refusing every name "
                    "a disc cannot carry: names Windows cannot hold (device names such as aux.txt or COM0, "
                    "<>:\"/\\|?*, control characters, a trailing dot or blank), names the image's Joliet names "
                    "would change (a ';', a character beyond U+FFFF, over 103 characters, 104 for a file "
                    "with an extension), two names differing only in letter case, symbolic links, names the "
                    "code page cannot write, and paths over 259 bytes in the code page after E:\\. Dot-files "
                    "and editor leftovers are warned about. FOLDER is only read, and a file or folder "
                    "replaced after its check is refused rather than copied.")
    parser.add_argument("folder")
    parser.add_argument("target")
    parser.add_argument("--codepage", type=int, default=1252, help="ANSI code page of the names (default 1252)")
    parser.add_argument("--exclude", action="append", default=[], metavar="GLOB",
                        help="leave matching files and folders off the disc (a glob with a slash matches the "
                             "path below FOLDER, one without the name in any folder; case ignored)")
    parser.add_argument("--check", action="store_true", help="check the names only; write nothing")
    args = parser.parse_args()
    try:
        "".encode(f"cp{args.codepage}")
    except LookupError:
        parser.error(f"code page {args.codepage} is not known")
    if not os.path.isdir(args.folder):
        parser.error(f"{args.folder} is not a folder")
    if os.path.lexists(args.target) and not args.check:
        parser.error(f"{args.target} already exists")
    # Resolved once, so that a folder given through a symbolic link is read,
    # while every link below it is refused.
    stager = Stager(os.path.realpath(args.folder), args.codepage, args.exclude)
    stager.scan()
    for warning in stager.warnings:
        print(f"warning: {warning}", file=sys.stderr)
    if stager.refusals:
        for relative, reason in stager.refusals:
            print(f"refused: {relative}: {reason}", file=sys.stderr)
        names = len({relative for relative, _ in stager.refusals})
        print(f"{names} name(s) a disc cannot carry; nothing was staged", file=sys.stderr)
        return 2
    if args.check:
        return 0
    try:
        stager.copy(args.target)
    except Swapped as swapped:
        print(f"refused: {swapped}", file=sys.stderr)
        return 2
    except OSError as error:
        print(f"stage_tree.py: cannot stage into {args.target}: {error.strerror} "
              f"({error.filename or args.target}); nothing was staged", file=sys.stderr)
        return 2
    files = sum(1 for _, is_folder in stager.entries if not is_folder)
    print(f"staged {files} files in {len(stager.entries) - files} folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
