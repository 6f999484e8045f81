#!/usr/bin/env python3
"""Copies a product's folder into a disc tree, leaving off what --exclude
names, after refusing every name a disc cannot carry. Nothing is written when
a name is refused. Called by ./kit master."""

import argparse
import fnmatch
import os
import shutil
import stat
import sys

# The installer's path limit, terminator excluded, with the drive root in front.
PATH_LIMIT = 259
DRIVE_ROOT = "E:\\"
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {f"{d}{n}" for d in ("COM", "LPT") for n in range(1, 10)}
FORBIDDEN = set('<>:"/\\|?*')
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


def name_fault(name):
    """Why Windows cannot hold a file or folder of this name, or None."""
    if any(ord(c) < 32 for c in name):
        return "holds a control character"
    bad = sorted(FORBIDDEN & set(name))
    if bad:
        return "holds " + " ".join(bad) + ", which Windows does not allow in a name"
    if name.endswith((".", " ")):
        return "ends with a dot or a blank, which Windows drops"
    if name.split(".")[0].rstrip(" ").upper() in DEVICE_NAMES:
        return "is a device name on Windows"
    return None


class Stager:
    def __init__(self, source, codepage, excludes):
        self.source = source
        self.codepage = codepage
        self.encoding = f"cp{codepage}"
        self.excludes = excludes
        self.refusals = []
        self.warnings = []
        self.entries = []  # (relative path, is folder), parents first

    def code_page_fault(self, name):
        """Why the name cannot be written in the code page, or None. A name
        whose bytes read back as other letters (a code page that maps two
        letters to one byte) would be installed and checked under the other
        name."""
        try:
            encoded = name.encode(self.encoding)
        except UnicodeError:
            return f"cannot be written in code page {self.codepage} (choose it with --codepage)"
        if encoded.decode(self.encoding) != name:
            return (f"reads back as {encoded.decode(self.encoding)} in code page {self.codepage}, "
                    "so the installer would see another name")
        return None

    def refuse(self, relative, reason):
        self.refusals.append(f"{relative}: {reason}")

    def check_entry(self, relative, name, path):
        mode = os.lstat(path).st_mode
        if stat.S_ISLNK(mode):
            self.refuse(relative, "is a symbolic link; a disc carries the file itself (copy it in)")
            return False
        if not (stat.S_ISREG(mode) or stat.S_ISDIR(mode)):
            self.refuse(relative, "is neither a file nor a folder")
            return False
        try:
            text = name.encode("utf-8", "strict").decode("utf-8")
        except UnicodeError:
            self.refuse(relative, "is not UTF-8 text, so its letters are unknown")
            return stat.S_ISDIR(mode)
        fault = name_fault(text) or self.code_page_fault(text)
        if fault:
            self.refuse(relative, fault)
        try:
            # The installer's limit counts the path's bytes in the code page:
            # a double-byte letter takes two. A folder already refused for its
            # name gives its contents no length.
            encoded = (DRIVE_ROOT + relative.replace("/", "\\")).encode(self.encoding)
        except UnicodeError:
            encoded = b""
        if len(encoded) > PATH_LIMIT:
            self.refuse(relative, f"{DRIVE_ROOT}{relative} is {len(encoded)} bytes in code page {self.codepage}, "
                                  f"over the installer's {PATH_LIMIT}")
        if name.startswith("."):
            self.warnings.append(f"{relative}: a dot-file; it goes onto the disc (leave it off with --exclude)")
        elif any(fnmatch.fnmatchcase(name.lower(), p.lower()) for p in LEFTOVERS):
            self.warnings.append(f"{relative}: looks like an editor or system leftover; it goes onto the disc "
                                 "(leave it off with --exclude)")
        return stat.S_ISDIR(mode)

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

    def copy(self, target):
        os.makedirs(target)
        for relative, is_folder in self.entries:
            source, destination = os.path.join(self.source, relative), os.path.join(target, relative)
            if is_folder:
                os.mkdir(destination)
                continue
            shutil.copyfile(source, destination)
            shutil.copystat(source, destination)
            os.chmod(destination, 0o644)
        for relative, is_folder in reversed(self.entries):
            if is_folder:
                shutil.copystat(os.path.join(self.source, relative), os.path.join(target, relative))
                os.chmod(os.path.join(target, relative), 0o755)


def main():
    parser = argparse.ArgumentParser(
        prog="stage_tree.py",
        description="Copies FOLDER into TARGET (which must not exist) for a disc, after refusing every name "
                    "a disc cannot carry: names Windows cannot hold, two names differing only in letter "
                    "case, symbolic links, names the code page cannot write, and paths over 259 characters "
                    "after E:\\. Dot-files and editor leftovers are warned about. FOLDER is only read.")
    parser.add_argument("folder")
    parser.add_argument("target")
    parser.add_argument("--codepage", type=int, default=1252, help="ANSI code page of the names (default 1252)")
    parser.add_argument("--exclude", action="append", default=[], metavar="GLOB",
                        help="leave matching files and folders off the disc (a glob with a slash matches the "
                             "path below FOLDER, one without the name in any folder; case ignored)")
    args = parser.parse_args()
    try:
        "".encode(f"cp{args.codepage}")
    except LookupError:
        parser.error(f"code page {args.codepage} is not known")
    if not os.path.isdir(args.folder):
        parser.error(f"{args.folder} is not a folder")
    if os.path.lexists(args.target):
        parser.error(f"{args.target} already exists")
    stager = Stager(os.path.abspath(args.folder), args.codepage, args.exclude)
    stager.scan()
    for warning in stager.warnings:
        print(f"warning: {warning}", file=sys.stderr)
    if stager.refusals:
        for refusal in stager.refusals:
            print(f"refused: {refusal}", file=sys.stderr)
        print(f"{len(stager.refusals)} name(s) a disc cannot carry; nothing was staged", file=sys.stderr)
        return 2
    stager.copy(args.target)
    files = sum(1 for _, is_folder in stager.entries if not is_folder)
    print(f"staged {files} files in {len(stager.entries) - files} folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
