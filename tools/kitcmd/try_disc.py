#!/usr/bin/python3
# Debian's interpreter on purpose: python3-pefile installs for it.
"""Usage: ./kit try [DISC] [--work FOLDER] [--keep] [--twin] [--mediakit PATH] [--timeout SECONDS]
                 [--launcher-folder C:\\PATH] [--maintenance] [--upgrade-from OLD] [--ca FILE]

Installs from a mastered disc in a fresh Wine prefix, as a user would, and
proves what happened. DISC is the disc folder (default dist/disc) or its ISO
9660 image (such as dist/disc.iso, read through its Joliet names as Windows
reads them). ./kit try installs what is missing and builds the native
mediakit first.

The disc's own programs run, under 32-bit Wine (the i686 lane, ./kit deps32):
the disc's Tarvolen.exe is started from CD-ROM drive E: with the disc's own
Tarvolen.ini, finds the disc by its disk1.id and starts the installer on the
disc's setup.msi, whose 32-bit Vesmark.dll runs in the installer's 32-bit
custom-action server. An image alone is enough. The disc and its template are
not changed; to get the installer's verbose log (Wine's installer honours no
logging policy), the prefix's 32-bit msiexec.exe, which the launcher starts by
name, is a front that puts Wine's own back in its place and starts it with the
launcher's command line and /l*v added. The template's own UI level is kept, so
a template that shows a window waiting for a click runs into --timeout, and a
disc whose Tarvolen.ini sets a nonzero Debug is refused (its message box would
wait). The report says which programs ran.

Where the lane cannot run (not root, binfmt_misc refused, ./kit deps32 could
not fetch 32-bit Wine), or with --twin, the try says why in one line and falls
back to the 64-bit twin that ./kit master writes beside the disc in wine/:
  - wine/setup.msi takes the place of the disc's setup.msi. It must carry the
    same Files, RectPyrc, pass phrase, files and embedded listing and manifest
    as the disc's package (unless that is a 0-byte stand-in), or the try would
    prove nothing about the disc.
  - wine/Tarvolen.exe is started from C:\\kit\\launcher beside a copy of the
    disc's Tarvolen.ini, and finds the disc on CD-ROM drive E: by its disk1.id.
    The copy differs in two things only: in the Setup template the UI and
    log options give way to /qn and a verbose log, and [%SRCDIR%] and
    [%TRANSFORM%] are written with E:\\, the launcher's folder on the disc;
    and a nonzero Debug is set to 0. The report names each change.
The disc is tried on a read-only copy in FOLDER/disc, as a pressed disc
reports its files; DISC itself is never changed, and a disc folder holding
anything but files and folders is refused.

Before anything is installed, the signature of each program that is to run
(the launcher, setup.msi and the Vesmark.dll inside it) is verified with
osslsigncode against --ca FILE, else this machine's certificates (revocation
is not checked): the report gives its signer, digest, validity and signing
time, or says the program is unsigned; a signature that does not verify (the
file changed after it was signed, or its certificate chain is not trusted)
fails the try before Wine runs, with the reason.

The report: each Vesmark action's result from msiexec's log, the installation's
result, what was installed, and for each file of the package's "Files" that its
"RectPyrc" range differs from the disc's file, that nothing else differs, and
that `mediakit crypt decrypt` of a copy gives the disc's file back byte for
byte. When the disc's Tarvolen.ini names a Transform (or its Setup sets
TRANSFORMS=), that msiexec's log names it in TRANSFORMS and that each property
the transform changes or adds (tools/msi_transform applies it to a copy of the
package) has its transformed value in the log; a file that is no transform
fails the try. When the disc is refused or the installation fails, `mediakit verify` of
the tried tree against the listing and manifest the package's library embeds
tells why.

  --work FOLDER      where the copy of the disc, the prefix and the log go
                     (default build/try): a new or empty folder, or one an earlier
                     try made (it carries .kit-output), whose contents are replaced
  --keep             keep the prefix and the copy of the disc; without it both are
                     removed when the try ends, and the logs kept (FOLDER/install.log,
                     FOLDER/wine.log) have the pass phrase masked (the booted prefix
                     the try copies holds nothing of the disc and is kept in build/)
  --twin             run the 64-bit twin in wine/ beside the disc even where the
                     lane runs
  --check            check the arguments and the disc only; write nothing
                     (./kit try does this before it builds)
  --mediakit PATH    the native host tool (default build/native/bin/mediakit)
  --timeout SECONDS  the longest any Wine call may take (default 600)
  --launcher-folder C:\\PATH
                     the folder on C: the launcher starts from (default
                     C:\\kit\\launcher), such as one named in the disc's code page
  --upgrade-from OLD first install OLD, an earlier disc folder or image of the product
                     (the same UpgradeCode, a lower ProductVersion, refused unless the
                     disc's Upgrade table removes it), the same way, and prove it;
                     then the disc is installed over it in the same prefix, as a major
                     upgrade, and OLD's product must no longer be registered
                     (with the twin, OLD needs its own twin in wine/ beside it)
  --ca FILE          the certificates (PEM) the programs' signatures must chain to,
                     such as your own certification authority's or a test certificate
  --maintenance      after the installation, run msiexec directly on E:\\setup.msi, each
                     with /qn and a verbose log kept in FOLDER/NAME.log: a repair with
                     REINSTALL=ALL REINSTALLMODE=omus, one with amus, the removal of a
                     feature the user may leave out (REMOVE=, then ADDLOCAL=; skipped
                     when there is none), and, with the disc taken out of E:, msiexec /x
                     ProductCode. After each repair and change, every range of Files
                     must be encrypted exactly once and decrypt back, and every other
                     installed file equal the disc's; after the removal no file of the
                     product, no files in its folder and no Uninstall key may be left.
                     No maintenance run may run the disc's checks.

The installer runs in the disc's ANSI code page, the one the package's summary
information gives (./kit master --codepage N writes the package in it), as
Windows set to that language runs it.

Exit status: 0 both checks passed, the product installed, every range
decrypts back and any transform was proven applied (and each maintenance run
and the upgrade asked for succeeded and was proved); 1 the disc was refused,
the installation, a maintenance run or the upgrade failed (the report names
which), a signature does not verify, a proof failed or Wine ran out of time;
2 a usage error: no such disc, a disc folder holding a FIFO, device or link,
a --work that overlaps the disc or holds files the try did not make, a disc
without a package or with Debug set, an OLD that is no earlier version the
disc upgrades (found once both discs are read, before Wine runs), (for the
twin) no twin beside the disc or one that does not match the disc's package,
a tool missing, an I/O error or an interruption.
"""
import argparse
import glob
import os
import re
import shutil
import stat
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import output  # noqa: E402
import package_codepage  # noqa: E402
import pe_image  # noqa: E402
import signing  # noqa: E402
import try_outcome  # noqa: E402
from try_outcome import on_root, say, shown  # noqa: E402
import try_lane  # noqa: E402
import try_maintenance  # noqa: E402
import try_settings  # noqa: E402
import vesmark_package  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
WINE_PREFIX_SH = os.path.join(SOURCE_DIR, "tests", "e2e", "wine_prefix.sh")
LAUNCHER_FOLDER = "C:\\kit\\launcher"
LOG = "C:\\kit\\install.log"
# The first volume descriptor of an ISO 9660 image, in its sector 16.
ISO_SIGNATURE_AT = 16 * 2048 + 1
CHECKED_VALUES = ("Files", "RectPyrc", "ProductNameShort")
# Wine takes its ANSI code page from the host locale; each was seen giving
# GetACP() its code page. Without the locale made, only LC_ALL gives Wine the
# code page, and then it reads host names and arguments in another character
# set than UTF-8 and cannot create a file with a non-ASCII name: so the try
# makes the locale (make_locale) and names it in LANG.
WINE_LOCALES = {874: "th_TH.UTF-8", 932: "ja_JP.UTF-8", 936: "zh_CN.UTF-8", 949: "ko_KR.UTF-8",
                950: "zh_TW.UTF-8", 1250: "pl_PL.UTF-8", 1251: "ru_RU.UTF-8", 1252: "C.UTF-8",
                1253: "el_GR.UTF-8", 1254: "tr_TR.UTF-8", 1255: "he_IL.UTF-8", 1256: "ar_SA.UTF-8",
                1257: "lt_LT.UTF-8", 1258: "vi_VN.UTF-8"}


COMMAND = "kit try"
TWIN_ASKED = "--twin"
MASKED = "********"
Usage = output.Refused


def check_disc_tree(disc):
    """A disc holds files and folders only: a FIFO or device would block the
    copy, and a link would let the installer read outside the disc."""
    for folder, folders, files in os.walk(disc):
        for name in folders + files:
            mode = os.lstat(os.path.join(folder, name)).st_mode
            if not (stat.S_ISREG(mode) or stat.S_ISDIR(mode)):
                raise Usage("%s holds %s, which is %s; a disc holds files and folders only"
                            % (shown(disc), os.path.relpath(os.path.join(folder, name), disc), output.kind_of(mode)))


class Wine:
    """Calls into tests/e2e/wine_prefix.sh for one prefix, each within a time limit."""

    def __init__(self, prefix, seconds, log, locale="C.UTF-8", locales=None):
        self.prefix, self.seconds, self.log, self.locale = prefix, seconds, log, locale
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
        # The whole locale, as on Windows set to that language: the user's
        # locale (which letter-case comparisons use) follows it too.
        self.env.update(WINEPREFIX=prefix, LANG=locale)
        if locales is not None:
            self.env["LOCPATH"] = locales

    def __call__(self, script, *args):
        env = self.env
        with open(self.log, "a") as out:
            done = subprocess.run(["timeout", str(self.seconds), "bash", "-c", 'source "$0"; ' + script,
                                   WINE_PREFIX_SH, *args], env=env, stdout=out, stderr=out)
        if done.returncode == 124:
            self.stop()
            raise self.timed_out("%s %s" % (script.split()[0], " ".join(args)))
        return done.returncode

    def timed_out(self, what):
        return try_outcome.TryFailed("Wine did not finish within %d s: %s (its output: %s)"
                                     % (self.seconds, what, shown(self.log)))

    def host_path(self, windows_path):
        """The host path of a Windows path in the prefix."""
        done = subprocess.run(["bash", "-c", 'source "$0"; wine_host_path "$1"', WINE_PREFIX_SH,
                               windows_path], env=dict(os.environ, WINEPREFIX=self.prefix),
                              stdout=subprocess.PIPE, text=True, check=True)
        return done.stdout.rstrip("\n").rstrip("/")

    def stop(self):
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def twin_differences(disc_package, twin_package):
    """What the disc's package and the twin's do not share, the pass phrase by name only."""
    ours, theirs = vesmark_package.properties(disc_package), vesmark_package.properties(twin_package)
    found = ["property %s differs" % name for name in CHECKED_VALUES if ours.get(name) != theirs.get(name)]
    for what, a, b in zip(("listing (BIN 101)", "manifest (BIN 103)"),
                          vesmark_package.embedded_data(disc_package)[:2],
                          vesmark_package.embedded_data(twin_package)[:2]):
        if a != b:
            found.append("the libraries embed different %s" % what)
    if code_page(disc_package) != code_page(twin_package):
        found.append("the packages are in code pages %s and %s" % (code_page(disc_package), code_page(twin_package)))
    if sorted(vesmark_package.installed_files(disc_package, "TARGETDIR")) != \
            sorted(vesmark_package.installed_files(twin_package, "TARGETDIR")):
        found.append("the packages install different files, or from other places on the disc")
    return found


def make_locale(name, folder, log):
    """FOLDER holding the host locale NAME (such as ru_RU.UTF-8), made with
    localedef once; None for C.UTF-8, which the system has."""
    if name == "C.UTF-8":
        return None
    if os.path.isfile(os.path.join(folder, name, "LC_CTYPE")):
        return folder
    if shutil.which("localedef") is None:
        raise Usage("localedef is not installed (./kit deps installs locales)")
    os.makedirs(folder, exist_ok=True)
    language, _, charset = name.partition(".")
    scratch = os.path.join(folder, ".%s.%d" % (name, os.getpid()))
    with open(log, "a") as out:
        done = subprocess.run(["localedef", "-i", language, "-f", charset, scratch], stdout=out, stderr=out)
    # localedef warns with exit 1 and still writes the locale.
    if done.returncode > 1 or not os.path.isfile(os.path.join(scratch, "LC_CTYPE")):
        output.remove(scratch)
        raise Usage("localedef could not make the locale %s (its words in %s; ./kit deps installs locales)"
                    % (name, shown(log)))
    try:
        os.rename(scratch, os.path.join(folder, name))
    except OSError:
        output.remove(scratch)  # another try made it meanwhile
    return folder


def code_page(package):
    """The package's code page, the disc's: its summary's, else its database's."""
    try:
        return package_codepage.summary_code_page(package) or package_codepage.database_code_page(package) or 1252
    except package_codepage.CodePageError as error:
        raise Usage("%s: %s" % (shown(package), error))


def find_twin(twin, lane_gap=TWIN_ASKED):
    """The twin's launcher and package, both for x86-64."""
    launcher, package = os.path.join(twin, "Tarvolen.exe"), os.path.join(twin, "setup.msi")
    why = "" if lane_gap == TWIN_ASKED else " (the disc's own programs cannot run: %s)" % lane_gap
    for path in (launcher, package):
        if not os.path.isfile(path) or os.path.getsize(path) == 0:
            raise Usage("no 64-bit twin %s beside the disc%s: master with --package WXS first" % (shown(path), why))
    try:
        machine = pe_image.machine(pe_image.open_image(launcher))
        library_machine = vesmark_package.embedded_data(package)[2]
    except (pe_image.NotImage, vesmark_package.PackageError) as error:
        raise Usage("the twin in %s is unusable: %s" % (shown(twin), error))
    if machine != "x86-64" or library_machine != "x86-64":
        raise Usage("the twin in %s is %s (launcher) and %s (library), not x86-64: master with --package WXS first"
                    % (shown(twin), machine, library_machine))
    return launcher, package


def check_twin(package, disc_package):
    """A try proves something of the disc's own package only when the twin carries its data."""
    if os.path.getsize(disc_package) == 0:
        say("the disc carries no package (a 0-byte setup.msi): only the twin's can be tried")
        return
    differences = twin_differences(disc_package, package)
    if differences:
        raise Usage("the twin %s does not match the disc's setup.msi (%s): master with --package WXS first"
                    % (shown(package), "; ".join(differences)))
    say("the twin's package matches the disc's: the same Files, RectPyrc, pass phrase, files and embedded data")


def check_signatures(launcher, package, ca):
    """Every signature of the programs the try is about to run, before anything is
    installed: an unsigned one is said to be so, one that does not verify fails the try."""
    faults = []
    for name, path in (("Tarvolen.exe", launcher), ("setup.msi", package)):
        if path is None or not os.path.isfile(path) or os.path.getsize(path) == 0:
            continue  # its absence is said where it is started
        found = [(name, signing.read(path, ca))]
        if name == "setup.msi":
            found.append(("Vesmark.dll in setup.msi", signing.read_bytes(vesmark_package.library(path), ca)))
        for shown_name, signatures in found:
            lines = signing.lines(signatures)
            say("%s (%s): %s" % (shown_name, shown(path), lines[0]))
            for line in lines[1:]:
                say("  " + line)
            faults += ["%s: %s" % (shown_name, fault) for fault in signing.faults(signatures)]
    if faults:
        raise try_outcome.TryFailed("refused before installing anything: a signature does not verify (%s)"
                                    % "; ".join(faults))


def stage_disc(disc, scratch, log):
    if os.path.isdir(disc):
        shutil.copytree(disc, scratch, symlinks=True)
        say("disc: a copy of %s in %s" % (shown(disc), shown(scratch)))
        return
    with open(disc, "rb") as image:
        image.seek(ISO_SIGNATURE_AT)
        if image.read(5) != b"CD001":
            raise Usage("%s is neither a folder nor an ISO 9660 image" % shown(disc))
    if shutil.which("xorriso") is None:
        raise Usage("xorriso is not installed (./kit deps installs it)")
    # Windows reads a disc's Joliet names, not its Rock Ridge ones.
    with open(log, "a") as out:
        done = subprocess.run(["xorriso", "-osirrox", "on", "-read_fs", "norock", "-indev", disc,
                               "-extract", "/", scratch], stdout=out, stderr=out)
    if done.returncode != 0 or not os.path.isdir(scratch):
        raise Usage("%s cannot be read as an ISO 9660 image (xorriso's words in %s)" % (shown(disc), shown(log)))
    say("disc: the image %s, extracted to %s" % (shown(disc), shown(scratch)))


def present_disc_with_twin(scratch, package):
    """The staged disc with the twin's package as its setup.msi."""
    disc_package = on_root(scratch, "setup.msi")
    if disc_package is None:
        raise Usage("the disc has no setup.msi at its root")
    check_twin(package, disc_package)
    os.chmod(disc_package, 0o644)
    shutil.copyfile(package, disc_package)
    read_only(scratch)
    say("setup.msi: the twin %s in its place; the copy read-only, as a pressed disc reports it, "
        "on CD-ROM drive E:" % shown(package))


def start_launcher(wine, launcher_exe, settings, folder):
    """Starts the twin's launcher from FOLDER on C: with SETTINGS beside it and waits for all it started."""
    launcher = wine.host_path(folder)
    os.makedirs(launcher, exist_ok=True)
    shutil.copyfile(launcher_exe, os.path.join(launcher, "Tarvolen.exe"))
    with open(os.path.join(launcher, "Tarvolen.ini"), "w", encoding="latin-1", newline="") as f:
        f.write(settings)
    rc = wine('wine_run "$1"', folder + "\\Tarvolen.exe")
    if rc != 0:
        say("Tarvolen.exe exited with %d (it always ends with 0)" % rc)


def check(args, rule, tools=True):
    """Every argument and input, before anything is deleted or written; which
    programs will run: the disc's own under the lane, or the twin's."""
    if args.timeout <= 0:
        raise Usage("--timeout needs a positive number of seconds")
    if not args.disc or not os.path.exists(args.disc):
        raise Usage("no disc at %s (./kit master writes dist/disc)" % args.disc)
    if os.path.isdir(args.disc):
        disc = rule.input_folder("the disc", args.disc)
        check_disc_tree(disc)
    else:
        disc = rule.input_file("the disc image", args.disc)
    lane_gap = TWIN_ASKED if args.twin else try_lane.missing()
    old = try_maintenance.check_old(args.upgrade_from, rule) if args.upgrade_from is not None else None
    twins = [os.path.join(os.path.dirname(os.path.abspath(path)), "wine") for path in (args.disc, old) if path]
    for twin in twins:
        if lane_gap and os.path.isdir(twin):
            rule.input_folder("the twin", twin)
    work = rule.output_folder("--work", args.work, COMMAND)
    programs, old_programs = Programs(lane_gap), Programs(lane_gap)
    if lane_gap:
        programs.launcher, programs.package = find_twin(twins[0], lane_gap)
        programs.page = checked_page(code_page(programs.package))
        if old:
            old_programs.launcher, old_programs.package = find_twin(twins[1], lane_gap)
            old_programs.page = programs.page  # both run in the disc's locale
    programs.old, programs.old_programs = old, old_programs
    if args.ca is not None:
        args.ca = rule.input_file("--ca", args.ca)
    if tools and not os.access(args.mediakit, os.X_OK):
        raise Usage("no mediakit at %s (./kit build native makes it)" % args.mediakit)
    for tool in ("msiinfo", "wineserver", "timeout", "osslsigncode"):
        if shutil.which(tool) is None:
            raise Usage("%s is not installed (./kit deps installs what is missing)" % tool)
    if not re.fullmatch(r"[Cc]:(\\[^\\/:*?\"<>|]+)+", args.launcher_folder):
        raise Usage("--launcher-folder needs a folder on C: such as C:\\kit\\launcher")
    return disc, work, programs


class Programs:
    """What a try runs: the disc's own programs, or (LANE_GAP saying why) the twin's."""

    def __init__(self, lane_gap):
        self.lane_gap, self.launcher, self.package, self.page = lane_gap, None, None, None
        self.old = self.old_programs = None

    def said(self):
        if not self.lane_gap:
            return ("the disc's own: its 32-bit Tarvolen.exe, its setup.msi and the 32-bit Vesmark.dll inside it, "
                    "under 32-bit Wine (the i686 lane)")
        if self.lane_gap == TWIN_ASKED:
            return "the 64-bit twin in wine/, as --twin asks"
        return "the 64-bit twin in wine/ (the lane cannot run: %s)" % self.lane_gap


def checked_page(page):
    if page not in WINE_LOCALES:
        raise Usage("the package is in code page %d, for which no locale is known that gives Wine that ANSI "
                    "code page" % page)
    return page


def masked(path, phrase, page):
    """Rewrites a kept log with the pass phrase masked."""
    if not phrase or not os.path.isfile(path):
        return
    with open(path, "rb") as f:
        data = f.read()
    secret = phrase.encode("cp%d" % page, "replace")
    if secret in data:
        with output.replacing(path) as part, open(part, "xb") as f:
            f.write(data.replace(secret, MASKED.encode()))


def disc_settings_of(scratch):
    settings_file = on_root(scratch, "Tarvolen.ini")
    if settings_file is None:
        raise Usage("the disc has no Tarvolen.ini at its root")
    with open(settings_file, encoding="latin-1", newline="") as f:
        return f.read()


def read_only(scratch):
    """A pressed disc reports every file read-only, whatever the image or folder said."""
    output.chmod_tree(scratch, 0o222)
    os.chmod(scratch, stat.S_IMODE(os.stat(scratch).st_mode) & ~0o222)


def run_disc_programs(args, wine, scratch, page, log=LOG, fresh=True):
    """The disc's own launcher from E:, as the user starts it, in a new prefix
    or (FRESH false) the one there; (package, settings)."""
    package = on_root(scratch, "setup.msi")
    if package is None or os.path.getsize(package) == 0:
        raise Usage("the disc carries no package (%s): master with --package WXS"
                    % ("no setup.msi at its root" if package is None else "a 0-byte setup.msi"))
    settings = disc_settings_of(scratch)
    try_lane.check_settings(settings)
    read_only(scratch)
    lane = try_lane.Lane(wine)
    if fresh:
        lane.make_prefix()
    if wine('wine_cdrom e "$1"', scratch) != 0:
        raise Usage("Wine could not make the CD-ROM drive (its output: %s)" % shown(wine.log))
    say("disc: read-only, as a pressed disc reports it, on CD-ROM drive E:")
    say("launcher: E:\\Tarvolen.exe started from the disc with the disc's own Tarvolen.ini; its Setup:")
    say("  %s" % try_settings.value(settings, "Command", "Setup"))
    say("  (to watch it: the prefix's 32-bit msiexec.exe, which the launcher starts by name, is a front that "
        "puts Wine's own back and starts it with /l*v \"%s\" added; Wine's installer honours no logging policy)"
        % log)
    say("installer: ANSI code page %d, the package's (%s)" % (page, "LANG=" + wine.locale))
    rc = lane.start_disc_launcher(log)
    if rc != 0:
        say("Tarvolen.exe exited with %d (it always ends with 0)" % rc)
    return package, settings


def run_twin(args, wine, scratch, programs, log=LOG, fresh=True):
    """The twin's launcher from C: beside a copy of the disc's settings, in a new
    prefix or (FRESH false) the one there; the disc's settings."""
    present_disc_with_twin(scratch, programs.package)
    disc_settings = disc_settings_of(scratch)
    settings, template, notes = try_settings.for_try(disc_settings, log)
    say("launcher: the twin's Tarvolen.exe in %s beside a copy of the disc's Tarvolen.ini; its Setup:"
        % args.launcher_folder)
    say("  %s" % template)
    for note in notes:
        say("  (%s)" % note)
    if fresh and wine('wine_prefix "$1"', wine.prefix) != 0 or wine('wine_cdrom e "$1"', scratch) != 0:
        raise Usage("Wine could not make the prefix or its CD-ROM drive (its output: %s)" % shown(wine.log))
    say("installer: ANSI code page %d, the package's (%s)" % (programs.page, "LANG=" + wine.locale))
    start_launcher(wine, programs.launcher, settings, args.launcher_folder)
    return disc_settings


def stage_old(args, work, programs, package, log):
    """The earlier disc --upgrade-from names, staged beside the disc; (its copy, its package)."""
    scratch = os.path.join(work, "old-disc")
    stage_disc(programs.old, scratch, log)
    old_package = programs.old_programs.package or on_root(scratch, "setup.msi")
    if old_package is None or os.path.getsize(old_package) == 0:
        raise Usage("--upgrade-from %s carries no package" % shown(programs.old))
    gap = try_maintenance.upgrade_gap(old_package, package)
    if gap:
        raise Usage("--upgrade-from %s: the disc is no major upgrade of it: %s" % (shown(programs.old), gap))
    return scratch, old_package


def install_old(args, wine, scratch, programs, page):
    """The earlier version installed from E: and proved, as the disc is after it; its package."""
    print("==> the earlier version, %s, first" % shown(programs.old), flush=True)
    if programs.lane_gap:
        run_twin(args, wine, scratch, programs.old_programs, try_maintenance.OLD_LOG)
        package = programs.old_programs.package
    else:
        package, settings = run_disc_programs(args, wine, scratch, page, try_maintenance.OLD_LOG)
    outcome = try_outcome.Outcome(wine, try_maintenance.OLD_LOG, package, scratch, args.mediakit,
                                  os.path.join(os.path.dirname(scratch), "old"), page)
    try:
        outcome.report(disc_settings_of(scratch))
    finally:
        if os.path.isfile(outcome.log_path):
            output.copy_file(outcome.log_path, os.path.join(os.path.dirname(scratch), "old-install.log"))
    return package


def run(args, rule):
    disc, work, programs = check(args, rule)
    scratch, prefix = os.path.join(work, "disc"), os.path.join(work, "prefix")
    log = os.path.join(work, "wine.log")
    if os.path.isdir(prefix):
        Wine(prefix, args.timeout, log).stop()
    rule.claim(work, COMMAND)
    kept_log = os.path.join(work, "install.log")
    wine, phrase, old_phrase, page = None, "", "", programs.page or 1252
    try:
        print("==> try %s" % shown(disc), flush=True)
        say("programs: %s" % programs.said())
        stage_disc(disc, scratch, log)
        package = programs.package or on_root(scratch, "setup.msi")
        if package is not None and os.path.getsize(package) > 0:
            page = checked_page(code_page(package))
            phrase = vesmark_package.properties(package).get("ProductNameShort", "")
        wine = Wine(prefix, args.timeout, log, WINE_LOCALES[page])
        # The locale is made once, in the build folder's cache, not in the work folder.
        locales = make_locale(WINE_LOCALES[page], os.path.join(SOURCE_DIR, "build", "locale"), log)
        if locales is not None:
            wine.env["LOCPATH"] = locales
        check_signatures(programs.launcher or on_root(scratch, "Tarvolen.exe"), package, args.ca)
        installer = try_maintenance.Installer(wine, None if programs.lane_gap else try_lane.Lane(wine), work, page)
        if programs.old:
            old_scratch, old_package = stage_old(args, work, programs, package, log)
            old_phrase = vesmark_package.properties(old_package).get("ProductNameShort", "")
            check_signatures(programs.old_programs.launcher or on_root(old_scratch, "Tarvolen.exe"), old_package,
                             args.ca)
            install_old(args, wine, old_scratch, programs, page)
            try_maintenance.check_old_registered(old_package, installer)
            print("==> the disc over it, as a major upgrade", flush=True)
        if programs.lane_gap:
            disc_settings = run_twin(args, wine, scratch, programs, fresh=not programs.old)
        else:
            package, disc_settings = run_disc_programs(args, wine, scratch, page, fresh=not programs.old)
        outcome = try_outcome.Outcome(wine, LOG, package, scratch, args.mediakit, work, page)
        try:
            outcome.report(disc_settings)
        finally:
            if os.path.isfile(outcome.log_path):
                output.copy_file(outcome.log_path, kept_log)
                say("log: %s" % shown(kept_log if not args.keep else outcome.log_path))
        if programs.old:
            try_maintenance.check_upgraded(old_package, installer)
        if args.maintenance:
            try_maintenance.maintain(outcome, installer)
    finally:
        if wine is not None:
            wine.stop()
        if not args.keep:
            # The prefix and the copy of the disc carry the pass phrase, and a
            # prefix (and the booted one it is copied from) takes most of a
            # gigabyte; the logs are kept, masked.
            for path in (prefix, prefix + ".lock", prefix + ".part", scratch, os.path.join(work, "decrypted"),
                         os.path.join(work, ".prefix-template"),
                         os.path.join(work, ".prefix-template.lock"), os.path.join(work, "old-disc"),
                         os.path.join(work, "old")):
                output.remove(path)
            # The maintenance runs' and the earlier version's logs lie beside them.
            for path in glob.glob(os.path.join(work, "*.log")):
                masked(path, phrase, page)
                masked(path, old_phrase, page)
    print("kit try: both checks passed, the product installed, and every range of Files decrypts back"
          + (", over the earlier version" if programs.old else "")
          + ("; repaired, changed and removed as proved above" if args.maintenance else ""))
    return 0


class Parser(argparse.ArgumentParser):
    def error(self, message):
        raise Usage(message + " (./kit try --help tells more)")


def main():
    parser = Parser(prog="./kit try", add_help=False, allow_abbrev=False,
                    usage=__doc__.splitlines()[0][len("Usage: "):])
    parser.add_argument("-h", "--help", action="store_true")
    parser.add_argument("disc", nargs="?", default=os.path.join(SOURCE_DIR, "dist", "disc"))
    parser.add_argument("--work", default=os.path.join(SOURCE_DIR, "build", "try"))
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--mediakit", default=os.path.join(SOURCE_DIR, "build", "native", "bin", "mediakit"))
    parser.add_argument("--timeout", type=int, default=600)
    parser.add_argument("--launcher-folder", default=LAUNCHER_FOLDER)
    parser.add_argument("--twin", action="store_true")
    parser.add_argument("--maintenance", action="store_true")
    parser.add_argument("--upgrade-from")
    parser.add_argument("--ca")
    rule = output.Rule()

    def body():
        args = parser.parse_args()
        if args.help:
            print(__doc__.strip())
            return 0
        if args.check:
            check(args, rule, tools=False)
            return 0
        try:
            return run(args, rule)
        except (try_settings.TemplateTooLong, vesmark_package.PackageError) as error:
            raise Usage(str(error))
        except (try_outcome.TryFailed, try_settings.SettingsError) as error:
            print("kit try: %s" % error)
            return 1

    return output.main(COMMAND, body, rule)


if __name__ == "__main__":
    sys.exit(main())
