"""What a try of a disc under Wine came to: the actions' results from msiexec's
verbose log, what was installed, the proof that each file of "Files" was
encrypted and decrypts back, and, when the disc was refused, why."""
import filecmp
import os
import re
import shutil
import subprocess

import build_package
import try_settings
import try_transform
import vesmark_package

CHECKS = ("VesmarkCheckItems", "VesmarkCheckContentOfItems")
# Wine writes 1 for success and 0 for failure (Windows would write 3). The
# log is in the installer's language ("Action ended 10:13:14: X. Return value
# 1.", "アクション終了 10:13:51: X。 戻り値 1。"): an action's end is the line
# whose time and action name are followed by a number closing the line.
ACTION_ENDED = re.compile(r"^[^\r\n]*? \d{1,2}:\d\d:\d\d: (\S+?)[.。] [^\r\n]*?(\d+)[.。][ \t]*\r?$", re.M)
CHUNK = 1 << 20
SHOWN_NAMES = 12


class TryFailed(Exception):
    """The disc was refused, the installation failed or a proof failed."""


def say(text):
    print("  " + text, flush=True)


def shown(path):
    """PATH relative to the working folder when it lies below it."""
    relative = os.path.relpath(path)
    return path if relative.startswith("..") else relative


def on_root(folder, name):
    """The entry of FOLDER named NAME without regard to case, as on a disc; None when none."""
    match = [n for n in os.listdir(folder) if n.lower() == name.lower()]
    return os.path.join(folder, match[0]) if match else None


def property_logged(log, name):
    """The last value msiexec's closing dump gives a property, or None."""
    found = re.findall(r"^Property\(S\): %s = (.*?)\r?$" % re.escape(name), log, re.M)
    return found[-1] if found else None


def ranges_equal(a, b, start, end):
    """Whether bytes [start, end) of two open files are equal, a file's end reading as zeros."""
    a.seek(start)
    b.seek(start)
    while start < end:
        count = min(CHUNK, end - start)
        x, y = a.read(count), b.read(count)
        if x.ljust(count, b"\0") != y.ljust(count, b"\0"):
            return False
        start += count
    return True


class Outcome:
    def __init__(self, wine, log, package, disc, mediakit, work, page=1252):
        self.wine, self.package, self.disc, self.mediakit, self.work = wine, package, disc, mediakit, work
        self.page = page
        self.log_path = wine.host_path(log)
        self.values = vesmark_package.properties(package)

    def report(self, disc_settings):
        """Says what happened; TryFailed unless everything was proved."""
        self.read(disc_settings)

    def read(self, disc_settings):
        if not os.path.isfile(self.log_path):
            self.not_started(disc_settings)
            raise TryFailed("the disc was refused: the launcher started no installation")
        # msiexec writes its log in the ANSI code page it runs in.
        with open(self.log_path, encoding="cp%d" % self.page, errors="replace") as f:
            log = f.read()
        say("msiexec opened %s" % (property_logged(log, "OriginalDatabase") or "(not logged)"))
        transform_failures = try_transform.prove(log, disc_settings, self.package, self.wine.host_path, self.work, say)
        for failure in transform_failures:
            say("FAIL: %s" % failure)
        results = {}
        for action, value in ACTION_ENDED.findall(log):
            results[action] = value
        for action in list(CHECKS) + [a for a in results if a.startswith("Vesmark") and a not in CHECKS]:
            words = {"1": "passed", "0": "failed (1603)"} if action in CHECKS else {"1": "succeeded", "0": "failed"}
            value = results.get(action)
            say("%s: %s" % (action, "did not run" if value is None else words.get(value, "returned " + value)))
        installed = results.get("INSTALL") == "1"
        say("installation: %s" % ("succeeded" if installed else "failed" if "INSTALL" in results else "did not end"))
        refused = [c for c in CHECKS if results.get(c) == "0"]
        if refused or not installed:
            self.explain()
            raise TryFailed("the disc was refused (why: above)" if refused
                            else "the installation failed (why: above, and in the log)")
        unchecked = [c for c in CHECKS if results.get(c) != "1"]
        if unchecked:
            raise TryFailed("%s did not run: nothing proves the disc was checked" % " and ".join(unchecked))
        failures = self.prove(property_logged(log, "_DBASE_"))
        for failure in failures:
            say("FAIL: %s" % failure)
        if failures or transform_failures:
            raise TryFailed("FAILED: %d proof(s) of the installed files and the transform failed"
                            % (len(failures) + len(transform_failures)))

    def not_started(self, disc_settings):
        say("msiexec did not start")
        identity = [try_settings.value(disc_settings, "Info", k) for k in ("Product", "Id")]
        id_file = on_root(self.disc, "disk1.id")
        disc_identity = [None, None]
        if id_file is not None:
            with open(id_file, encoding="latin-1") as f:
                text = f.read()
            disc_identity = [try_settings.value(text, "disk", k) for k in ("Product", "Id")]
        say("Tarvolen.ini looks for Product=%s Id=%s; the disc's disk1.id carries %s"
            % (identity[0], identity[1], "Product=%s Id=%s" % tuple(disc_identity)
               if id_file is not None else "nothing (there is none)"))

    def explain(self):
        command = [self.mediakit, "verify", self.disc, "--package", self.package, "--codepage", str(self.page)]
        say("why: mediakit verify of the tried disc against the listing and manifest the package's library embeds:")
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        for line in done.stdout.splitlines():
            say("  " + line.replace(self.package, "<package>").replace(self.disc, "<disc>").rstrip())
        if done.returncode == 0:
            say("mediakit finds the tree as the library expects it: the cause is elsewhere (see the log)")

    def prove(self, folder):
        """Failures of the proof that each file of "Files" was encrypted in its range and decrypts back."""
        if folder is None:
            return ["the log names no _DBASE_ folder"]
        root = self.wine.host_path(folder)
        names = sorted(os.listdir(root)) if os.path.isdir(root) else []
        more = " and %d more" % (len(names) - SHOWN_NAMES) if len(names) > SHOWN_NAMES else ""
        say("installed: %s (%s%s)" % (folder, " ".join(names[:SHOWN_NAMES]) or "nothing", more))
        failures = self.prove_names(root)
        files, text = self.values.get("Files", ""), self.values.get("RectPyrc", "")
        span = vesmark_package.encryption_range(text)
        if span is None:
            return failures + ["RectPyrc '%s' gives CryptFile no range: nothing was encrypted" % text]
        listed = vesmark_package.files_to_encrypt(self.package, files)
        if not listed:
            return failures + ["Files names no file: there is no encryption to prove"]
        for name, disc_parts in listed:
            failure = self.prove_file(name, disc_parts, root, span)
            if failure:
                failures.append("%s: %s" % (name, failure))
        return failures

    def prove_names(self, root):
        """Failures of the proof that every file the package installs below _DBASE_
        is there under its own name, letter for letter."""
        wanted = [target for target, _ in vesmark_package.installed_files(self.package)]
        missing = ["%s: not installed under that name" % "\\".join(target) for target in wanted
                   if not os.path.isfile(os.path.join(root, *target))]
        if not missing:
            say("every file the package installs below _DBASE_ is there under its name (%d files)" % len(wanted))
        return missing

    def pass_code_page(self):
        """CryptFile keys with the pass phrase's bytes in the installer's code page:
        so must the decryption, where mediakit can be told the code page."""
        done = subprocess.run([self.mediakit, "crypt", "decrypt", "--help"], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True)
        return ["--codepage", str(self.page)] if "--codepage" in done.stdout else []

    def prove_file(self, name, disc_parts, root, span):
        if disc_parts is None:
            return "the package installs no file of that name below _DBASE_"
        original = build_package.find_on_disc(self.disc, disc_parts)
        where = "\\" + "\\".join(disc_parts)
        if original is None or not os.path.isfile(original):
            return "the disc holds no %s" % where
        installed = build_package.find_on_disc(root, re.split(r"[\\/]", name))
        if installed is None or not os.path.isfile(installed):
            return "not installed"
        start, length = span
        size = os.path.getsize(original)
        length = size if length == -1 else length
        end = start + length
        with open(original, "rb") as a, open(installed, "rb") as b:
            if os.path.getsize(installed) != max(size, end):
                return "%d bytes installed, %d expected" % (os.path.getsize(installed), max(size, end))
            if ranges_equal(a, b, start, end):
                return "bytes %d..%d are as on the disc: not encrypted" % (start, end - 1)
            if not ranges_equal(a, b, 0, start) or not ranges_equal(a, b, end, size):
                return "changed outside bytes %d..%d" % (start, end - 1)
        copy = os.path.join(self.work, "decrypted", *re.split(r"[\\/]", name))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copyfile(installed, copy)
        done = subprocess.run([self.mediakit, "crypt", "decrypt", "--pass", self.values.get("ProductNameShort", ""),
                               "--range", "%d;%d" % (start, length), "--size", str(size), copy]
                              + self.pass_code_page(),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0 or not filecmp.cmp(original, copy, shallow=False):
            return "decrypting a copy does not give the disc's %s back%s" % (
                where, ": " + done.stdout.strip() if done.returncode else "")
        say("%s: bytes %d..%d encrypted, the rest as on the disc; decrypting a copy gives the disc's %s "
            "back byte for byte" % (name, start, end - 1, where))
        return None
