"""What ./kit inspect reads from a Windows Installer package, through msitools'
msiinfo, and what a custom action's type number means."""
import codecs
import os
import re
import shutil
import subprocess
import tempfile

OLE_SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")


class PackageError(Exception):
    pass


def _msiinfo(command, path, *args):
    if shutil.which("msiinfo") is None:
        raise PackageError("msiinfo is not installed (./kit deps installs msitools)")
    # export writes the streams of a table with binary columns into a folder
    # named after it, in the working folder: give it a throwaway one.
    with tempfile.TemporaryDirectory() as scratch:
        result = subprocess.run(["msiinfo", command, os.path.abspath(path), *args], capture_output=True, cwd=scratch)
    if result.returncode != 0:
        # The last line says why; GLib prefixes it with the program and the time.
        lines = result.stderr.decode("utf-8", "replace").strip().splitlines() or [""]
        message = re.sub(r"^\*\* \(msiinfo:\d+\): \w+ \*\*: [\d:.]+: ", "", lines[-1])
        raise PackageError("msiinfo %s failed: %s" % (command, message or "exit %d" % result.returncode))
    return result.stdout


def tables(path):
    return _msiinfo("tables", path).decode("utf-8", "replace").split()


def rows(path, table):
    """The rows of TABLE as dictionaries keyed by column name."""
    lines = _msiinfo("export", path, table).decode("utf-8", "replace").split("\r\n")
    columns = lines[0].split("\t")
    # Lines 2 and 3 give the column types and the table's keys.
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def summary(path):
    # The summary's strings are bytes in its own code page, which it gives as property 1.
    lines = _msiinfo("export", path, "_SummaryInformation").split(b"\r\n")
    page = next((line[2:].decode("ascii", "replace") for line in lines[3:] if line.startswith(b"1\t")), "")
    try:
        encoding = codecs.lookup("cp" + page).name if page.isdigit() else "utf-8"
    except LookupError:
        encoding = "utf-8"
    text = _msiinfo("suminfo", path).decode(encoding, "replace")
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def stream(path, name):
    return _msiinfo("extract", path, name)


EXECUTABLES = {1: "DLL", 2: "program", 5: "JScript", 6: "VBScript", 7: "nested installation"}
SOURCES = {0x00: "from Binary", 0x10: "installed file", 0x20: "in directory", 0x30: "from property"}


def _what(kind, source, target):
    code, origin = kind & 0x07, kind & 0x30
    if code == 3:
        return {0x10: "shows error message '%s' and ends the installation" % target,
                0x20: "sets directory '%s' to '%s'" % (source, target),
                0x30: "sets property '%s' to '%s'" % (source, target)}.get(origin, "text data")
    what = "%s %s '%s'" % (EXECUTABLES.get(code, "code type %d" % code), SOURCES[origin], source)
    return what + (", entry %s" % target if code == 1 else ", target '%s'" % target if target else "")


def describe_action(kind, source, target):
    """A custom action's type decoded: what runs, when, as whom, and whether its result counts."""
    parts = [_what(kind, source, target)]
    if kind & 0x400:
        parts.append({0x000: "deferred", 0x100: "rollback", 0x200: "commit"}.get(kind & 0x300, "deferred"))
        parts.append("no impersonation (runs as LocalSystem)" if kind & 0x800 else "impersonates the user")
    else:
        parts.append("immediate")
        schedule = {0x100: "first sequence only", 0x200: "once per process", 0x300: "client side repeated"}
        if kind & 0x300:
            parts.append(schedule[kind & 0x300])
        if kind & 0x800:
            parts.append("no-impersonate bit (no effect when immediate)")
    parts.append("return ignored" if kind & 0x40 else "return checked")
    if kind & 0x80:
        parts.append("asynchronous")
    return "; ".join(parts)
