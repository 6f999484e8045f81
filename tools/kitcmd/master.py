#!/usr/bin/python3
# Debian's interpreter on purpose: python3-pefile installs for it.
"""The release engineer's job in one pass: stage a product's folder as a disc
with the launcher, its settings and disk1.id, make the listing and the
manifest of that staged tree, build the 32-bit binaries with the data, build
the package, verify, and write and prove a disc image.
Called by ./kit master, which builds mediakit and both launchers after
`--check` passed."""
import argparse
import contextlib
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import output  # noqa: E402
from output import Refused  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.join(SOURCE_DIR, "build")
MEDIAKIT = os.path.join(BUILD, "native", "bin", "mediakit")
TARVOLEN = os.path.join(BUILD, "win32", "bin", "Tarvolen.exe")
TARVOLEN64 = os.path.join(BUILD, "win64", "bin", "Tarvolen.exe")
CHECK_PE = os.path.join(SOURCE_DIR, "tests", "binaries", "check_pe.py")
PE_RESOURCE = os.path.join(SOURCE_DIR, "tests", "binaries", "pe_resource.py")
CHECK_PACKAGE = os.path.join(SOURCE_DIR, "tests", "binaries", "check_package.sh")
COMMAND = "kit master"
# What this run puts at the disc's root beside the product's files.
ROOT_FILES = ("disk1.id", "Tarvolen.exe", "Tarvolen.ini", "setup.msi")
TEMPLATE = "/i [%PACKAGE%]"
TRANSFORM_TEMPLATE = '/i [%PACKAGE%] TRANSFORMS="[%TRANSFORM%]"'
OUTPUTS = ("listing.bin", "manifest.md5", "Vesmark.dll", "Tarvolen.exe", "disk1.id", "Tarvolen.ini")
SECTOR = 2048
# Sectors of 2,048 bytes each medium holds (CD: 74 and 80 minutes of 75
# sectors a second; DVD: the smaller of the -R and +R capacities).
MEDIA = {"cd650": 333000, "cd700": 360000, "dvd5": 2295104, "dvd9": 4171712}
# How xorriso and its libraries mark a failure; the first one says why it stopped.
FAILURE = re.compile(r"^(xorriso|libburn|libisofs) : (SORRY|FAILURE|FATAL|ABORT) : ")

USAGE = """\
Usage: ./kit master DIR --product P --id I [--package WXS] [--iso FILE] [options]
       ./kit master            (the sample product, with its package and image)

Stages the product's folder DIR as a disc in OUT/disc (OUT is dist/ in the
current folder unless --out says otherwise) and masters it; DIR is only read.
  OUT/disc/                   DIR's files, plus disk1.id, Tarvolen.exe, Tarvolen.ini,
                              setup.msi (the package, or a 0-byte stand-in) and the
                              --transform file
  OUT/listing.bin, manifest.md5   the data, made from OUT/disc
  OUT/Vesmark.dll, Tarvolen.exe   32-bit: the library with that data embedded, the
                              launcher with the product's version block and icon;
                              *.debug beside them
  OUT/disk1.id, Tarvolen.ini      copies of what went onto the disc
  OUT/wine/                   with --package: the 64-bit launcher, library and package
                              that ./kit try runs under this machine's 64-bit Wine
  OUT/mastering.log           what the tools said
Every argument and input is checked before anything is written: names a disc
cannot carry, a disc too large for the medium, an OUT or image that overlaps
DIR or the source (links resolved) are refused. OUT must be new, empty, or
one an earlier ./kit master made (it carries .kit-output); its contents are
replaced. On a failure or an interruption what the run made is removed
(mastering.log stays). The listing carries setup.msi, which the check exempts
from size and attributes, so a package built later can be dropped in without
mastering again. The same inputs give the same bytes: what the run writes
is dated by SOURCE_DATE_EPOCH, else by the newest file of DIR, and the
package's codes (its ProductCode too when the source says Product Id="*")
are name-based UUIDs of its contents.
  --product P, --id I   identifiers for disk1.id and the launcher (blanks allowed)
  --package WXS         build the package from this WiX source, which references
                        Vesmark's fragment (docs/integration.md), into OUT/disc/setup.msi
  --iso FILE            write an ISO 9660 image with Joliet names, read it back as
                        Windows reads it (Joliet names) and verify what it holds; the
                        image is put in place only when it verifies
  --medium M            cd650, cd700 (default), dvd5 or dvd9: a disc that does not fit
                        is refused, before staging when DIR alone is too large
  --label L             the image's volume label (default: the disc id; A-Z 0-9 _, up to 16)
  --exclude GLOB        leave matching files off the disc (repeatable; a glob with a
                        slash matches the path below DIR, one without any name)
  --transform FILE      put this transform (.mst, an OLE compound file) at the disc's root
                        beside the launcher, listed and digested like every file, and name
                        it in [Command] Transform of Tarvolen.ini
  --template TEXT       [Command] Setup of Tarvolen.ini (default "/i [%PACKAGE%]", with
                        --transform '/i [%PACKAGE%] TRANSFORMS="[%TRANSFORM%]"')
  --codepage N          ANSI code page of the names, the pass phrase and the launcher's
                        texts (default 1252)
  --sign CERT.pfx       sign Tarvolen.exe (before the listing and manifest are made, so
                        they hold its signed bytes), Vesmark.dll (before the package takes
                        it in) and setup.msi, the twin's three in OUT/wine/ too: Authenticode,
                        SHA-256, with osslsigncode; the signing time is the run's date
  --sign-password-file FILE   the first line of FILE is the pass phrase of CERT.pfx (it is
                        checked to open it before anything is written; never give it on
                        the command line)
  --timestamp URL       have an RFC 3161 time-stamping server at URL stamp each signature
                        (the stamps differ from run to run: the outputs are then not
                        reproducible)
  --out FOLDER          where everything goes (default dist/)
  --check               check the arguments and inputs only; write nothing
The launcher's version block (ProductName is --product) and icon; each text
1 to 254 bytes in the code page:
  --company C           CompanyName (default: the --product value)
  --version A.B.C.D     file and product version, four numbers of 0 to 65535 (default:
                        the --package source's Product Version when it is written out
                        as numbers, padded to four; else 1.0.0.0)
  --description D       FileDescription (default: the --product value and " setup")
  --icon FILE.ico       the launcher's icon (default: the kit's)
Then try it: ./kit try OUT/disc.iso (or OUT/disc).
Exit status: 0 mastered and verified, 1 the staged disc or image does not
verify, 2 refused names or values, bad usage or a failed build."""


class Parser(argparse.ArgumentParser):
    def error(self, message):
        raise Refused(message + " (./kit master --help lists the options)")


def parse(argv):
    parser = Parser(prog="./kit master", add_help=False, allow_abbrev=False)
    parser.add_argument("dir", nargs="?")
    parser.add_argument("--product")
    parser.add_argument("--id", dest="disc_id")
    parser.add_argument("--out", default="dist")
    parser.add_argument("--template")
    parser.add_argument("--transform")
    parser.add_argument("--codepage", default="1252")
    parser.add_argument("--package")
    parser.add_argument("--iso")
    parser.add_argument("--label")
    parser.add_argument("--medium", default="cd700")
    parser.add_argument("--exclude", action="append", default=[])
    parser.add_argument("--company")
    parser.add_argument("--version")
    parser.add_argument("--description")
    parser.add_argument("--icon")
    parser.add_argument("--sign")
    parser.add_argument("--sign-password-file")
    parser.add_argument("--timestamp")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("-h", "--help", action="store_true")
    return parser.parse_args(argv)


def step(text):
    print("==> " + text, flush=True)


def sectors(size):
    return (size + SECTOR - 1) // SECTOR


class Master:
    def __init__(self, args, rule):
        self.args = args
        self.rule = rule
        self.image_kept = False
        self.sample = args.dir is None
        self.status = 0
        self.log = None
        self.transform = None
        self.root_files = ROOT_FILES
        self.package_root = None
        self.signer = None

    # Everything below "check" only reads; "run" writes.
    def check(self):
        a = self.args
        if not re.fullmatch(r"\d+", a.codepage or ""):
            raise Refused("--codepage needs a number, not '%s'" % a.codepage)
        try:
            "".encode("cp" + a.codepage)
        except LookupError:
            raise Refused("code page %s is not known" % a.codepage)
        if a.medium not in MEDIA:
            raise Refused("--medium is one of %s, not '%s'" % (", ".join(MEDIA), a.medium))
        import package_codes
        try:
            self.epoch = package_codes.given_epoch()
        except package_codes.CodeError as error:
            raise Refused(str(error))
        if self.sample:
            a.dir = os.path.join(BUILD, "master", "sample-product")
            a.product = a.product or "KestrelLedger42"
            a.disc_id = a.disc_id or "KL42-DISC1"
            a.package = a.package or os.path.join(SOURCE_DIR, "packaging", "kestrel-ledger.wxs")
            a.iso = a.iso or os.path.join(a.out, "disc.iso")
            # The sample's folder is made afresh: no output may lie in or around it.
            self.rule.inputs.append(("the sample product's folder", output.real(a.dir)))
        else:
            self.dir = self.rule.input_folder("DIR", a.dir)
        if not a.product or not a.disc_id:
            raise Refused("give the disc's identifiers with --product and --id")
        if a.package is not None:
            self.rule.input_file("the WiX source", a.package)
            a.package = os.path.abspath(a.package)
        if a.transform is not None:
            self.check_transform()
        self.check_signer()
        if a.template is None:
            a.template = TRANSFORM_TEMPLATE if a.transform is not None else TEMPLATE
        label = a.label if a.label is not None else re.sub(r"[^A-Z0-9_]", "", a.disc_id.upper().replace("-", "_"))[:16]
        if not re.fullmatch(r"[A-Z0-9_]{1,16}", label):
            raise Refused("the volume label '%s' must be 1 to 16 of A-Z, 0-9 and _" % label)
        self.label = label
        self.out = self.rule.output_folder("--out", a.out, COMMAND)
        self.disc = os.path.join(self.out, "disc")
        self.iso = None
        if a.iso is not None:
            self.iso = self.rule.file_target("--iso", a.iso)
            inside = os.path.relpath(output.real(self.iso), self.out)
            if output.within(output.real(self.iso), self.out) and (
                    os.sep in inside or inside in OUTPUTS + ("setup.msi", "mastering.log", output.MARKER,
                                                             "disc", "wine", ".image-readback")
                    or inside.endswith(".debug")):
                raise Refused("--iso %s is a place ./kit master writes itself in %s" % (a.iso, self.out))
        if a.package is not None:
            self.check_values()
        if not self.sample:
            self.check_names()
            self.check_medium()
        self.check_identifiers()
        import launcher_build
        self.launcher = launcher_build.values(a, self.rule, a.codepage, self.package_root, TARVOLEN)

    def check_transform(self):
        """A transform the disc can carry under its own name at the root."""
        import msi_package
        import stage_tree
        path = self.rule.input_file("--transform", self.args.transform)
        name = os.path.basename(path)
        fault = stage_tree.name_fault(name, False)
        if fault is None and name.lower() in (n.lower() for n in ROOT_FILES):
            fault = "is a file ./kit master writes itself at the disc's root"
        if fault is None:
            try:
                if name.encode("cp" + self.args.codepage).decode("cp" + self.args.codepage) != name:
                    fault = "reads back as another name in code page %s" % self.args.codepage
            except UnicodeError:
                fault = "cannot be written in code page %s (choose it with --codepage)" % self.args.codepage
        if fault is not None:
            raise Refused("--transform %s: the name %s" % (self.args.transform, fault))
        with open(path, "rb") as f:
            if f.read(len(msi_package.OLE_SIGNATURE)) != msi_package.OLE_SIGNATURE:
                raise Refused("--transform %s is not a transform: it does not begin as an OLE compound file "
                              "(D0 CF 11 E0 A1 B1 1A E1)" % self.args.transform)
        self.transform, self.transform_name = path, name
        self.root_files = ROOT_FILES + (name,)

    def check_signer(self):
        """The certificate --sign names, opened with its pass phrase, before anything is written."""
        import signing
        try:
            self.signer = signing.signer_from(self.rule, self.args.sign, self.args.sign_password_file,
                                              self.args.timestamp)
        except signing.SigningError as error:
            raise Refused(str(error))

    def sign(self, path):
        """With --sign, signs PATH in place, its signing time the date of all this run writes."""
        if self.signer is None:
            return
        import signing
        try:
            self.signer.sign(path, self.epoch, log=self.log)
        except signing.SigningError as error:
            raise Refused("%s (log: %s)" % (error, self.log))
        print("%s: %s" % (os.path.relpath(path, self.out), self.signer.said()), flush=True)

    def check_values(self):
        """The values CryptFile reads, as the source states them; the built
        package is checked again, its Files against what it installs."""
        import xml.etree.ElementTree as ET
        import build_package
        import package_values
        try:
            text = build_package.source_text(self.args.package)
            root = ET.fromstring(text.encode("utf-8"))
            build_package.loose_layout_stated(root)
        except (build_package.PackageError, ET.ParseError) as error:
            raise Refused("--package %s: %s" % (self.args.package, error))
        self.package_root = root
        values = {e.get("Id"): e.get("Value") for e in root.iter(build_package.WIX_NS + "Property")
                  if e.get("Id") in package_values.LIMITS and e.get("Value") is not None}
        # A value the preprocessor or the installer fills in is known only in the package.
        values = {k: v for k, v in values.items() if "$(" not in v and "[" not in v}
        problems = [p for p in package_values.value_problems(values, self.args.codepage)
                    if not p.startswith("the package sets no")]
        if problems:
            raise Refused("--package %s: %s" % (self.args.package, "; ".join(problems)))

    def stage_command(self, target):
        command = [sys.executable, os.path.join(HERE, "stage_tree.py"), self.args.dir, target,
                   "--codepage", self.args.codepage]
        for glob in self.args.exclude:
            command += ["--exclude", glob]
        for name in self.root_files:
            command += ["--exclude", "/" + name]
        return command

    def check_names(self):
        """The stager's refusals of every name a disc cannot carry, before anything is written."""
        done = subprocess.run(self.stage_command(self.disc) + ["--check"], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            said = done.stderr.splitlines()
            refused = [line[len("refused: "):] for line in said if line.startswith("refused: ")]
            if len(refused) == 1:
                # A single fault is said in one line.
                sys.stderr.write("".join(line + "\n" for line in said if line.startswith("warning: ")))
                raise Refused("%s: %s; nothing was written" % (self.args.dir, refused[0]))
            sys.stderr.write(done.stderr)
            raise Refused("%s holds what a disc cannot carry (above); nothing was written" % self.args.dir)
        # Its warnings are said once, when the disc is staged.

    def check_medium(self):
        """The product's files alone must fit: the image's own sectors come on top.
        The newest of them dates what this run writes, unless SOURCE_DATE_EPOCH does."""
        from stage_tree import matches
        size = 0
        times = []
        excludes = self.args.exclude + ["/" + name for name in self.root_files]
        for folder, folders, files in os.walk(self.args.dir):
            below = os.path.relpath(folder, self.args.dir)
            below = "" if below == "." else below + "/"
            folders[:] = [n for n in folders if not any(matches(g, below + n) for g in excludes)]
            for name in files:
                if not any(matches(g, below + name) for g in excludes):
                    info = os.lstat(os.path.join(folder, name))
                    size += sectors(info.st_size) * SECTOR
                    times.append(int(info.st_mtime))
        if self.epoch is None:
            self.epoch = max(times) if times else int(os.lstat(self.args.dir).st_mtime)
        capacity = MEDIA[self.args.medium]
        if sectors(size) > capacity:
            raise Refused("%s needs at least %d sectors of %d bytes, %d more than %s holds (%d); "
                          "choose a larger --medium" % (self.args.dir, sectors(size), SECTOR,
                                                        sectors(size) - capacity, self.args.medium, capacity))

    def check_identifiers(self):
        """mediakit's own checks of the identifiers and the template, written to a scratch folder."""
        if not os.access(MEDIAKIT, os.X_OK):
            return  # ./kit master builds it after --check; the run checks again
        with tempfile.TemporaryDirectory(prefix="kit-master-check.") as scratch:
            done = subprocess.run([MEDIAKIT, "discid", "--product", self.args.product, "--id", self.args.disc_id,
                                   "-o", os.path.join(scratch, "disk1.id"), "--settings",
                                   os.path.join(scratch, "Tarvolen.ini"), "--template", self.args.template,
                                   "--codepage", self.args.codepage] + self.transform_option(),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0:
            lines = done.stdout.strip().splitlines() or ["exit %d" % done.returncode]
            raise Refused(re.sub(r"^mediakit[^:]*: ", "", lines[-1]))

    def transform_option(self):
        return ["--transform", self.transform_name] if self.transform else []

    def tool(self, *command):
        """Runs a tool with its chatter in the log; on failure says its last words and stops."""
        with open(self.log, "a") as log:
            start = log.tell()
            done = subprocess.run(command, stdout=log, stderr=log)
        if done.returncode != 0:
            with open(self.log, errors="replace") as log:
                log.seek(start)
                said = [line.strip() for line in log if line.strip()] or ["exit %d" % done.returncode]
            # xorriso's last words are a note that it gave up: the reason comes earlier.
            said = [line for line in said if FAILURE.search(line)][:1] or said
            name = os.path.basename(command[1] if command[0] == sys.executable else command[0])
            raise Refused("%s failed: %s (log: %s)" % (name, said[-1], self.log))

    def run(self):
        for tool in (MEDIAKIT, TARVOLEN) + ((TARVOLEN64,) if self.args.package else ()):
            if not os.path.isfile(tool):
                raise Refused("%s is missing: ./kit master builds it" % tool)
        if self.sample:
            step("generating the sample product's files in %s" % self.args.dir)
            output.remove(self.args.dir)
            subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "examples", "media", "make_sample_disc.py"),
                            self.args.dir], stdout=subprocess.DEVNULL, check=True)
            # The generator writes a whole disc's root; mastering makes its own.
            for name in ROOT_FILES:
                output.remove(os.path.join(self.args.dir, name))
            self.dir = self.rule.input_folder("DIR", self.args.dir)
            self.check_medium()
        dir_ = self.dir
        for name in self.root_files:
            if os.path.lexists(os.path.join(dir_, name)):
                # A launcher signed after an earlier master would not match its listing.
                hint = "" if self.signer or name not in ("Tarvolen.exe", "setup.msi") else \
                    " (--sign CERT.pfx signs the one it makes)"
                print("warning: %s in %s is replaced by the one this run makes%s" % (name, dir_, hint),
                      file=sys.stderr)
        # Every tool dates what it writes by the inputs, not by the clock.
        os.environ["SOURCE_DATE_EPOCH"] = str(self.epoch)
        # From here on the run writes, in OUT only; a failure empties OUT again.
        self.rule.claim(self.out, COMMAND)
        self.rule.partial.extend(os.path.join(self.out, n) for n in ("disc", "wine", ".image-readback")
                                 + OUTPUTS + ("setup.msi", "Vesmark.dll.debug", "Tarvolen.exe.debug"))
        self.log = os.path.join(self.out, "mastering.log")
        open(self.log, "x").close()
        disc = self.disc

        step("checking the names in %s and staging the disc in %s" % (dir_, disc))
        done = subprocess.run(self.stage_command(disc), stderr=subprocess.PIPE, text=True)
        said = done.stderr.splitlines()
        if done.returncode != 0:
            sys.stderr.write("".join(line + "\n" for line in said[:-1]))
            raise Refused("staging the disc failed: %s" % (said[-1] if said else "exit %d" % done.returncode))
        sys.stderr.write(done.stderr)
        self.tool(MEDIAKIT, "discid", "--product", self.args.product, "--id", self.args.disc_id,
                  "-o", os.path.join(disc, "disk1.id"), "--settings", os.path.join(disc, "Tarvolen.ini"),
                  "--template", self.args.template, "--codepage", self.args.codepage, *self.transform_option())
        self.build_launcher()
        launcher = os.path.join(disc, "Tarvolen.exe")
        output.copy_file(os.path.join(self.out, "Tarvolen.exe"), launcher)
        # Signed before the listing and the manifest are made: they hold its signed bytes.
        self.sign(launcher)
        if self.transform:
            output.copy_file(self.transform, os.path.join(disc, self.transform_name))
        open(os.path.join(disc, "setup.msi"), "x").close()
        # A pressed disc reports every file read-only: so must the staged tree.
        output.chmod_tree(disc, 0o222)
        self.settle_times()
        self.make_binaries()
        outputs = list(OUTPUTS)
        if self.args.package:
            self.make_packages()
            outputs.append("setup.msi")
        step("verifying the staged disc against the fresh listing and manifest")
        self.verify(disc)
        self.inspect_binaries()
        if self.iso:
            self.make_image()
        self.summary(outputs)
        return self.status

    def settle_times(self):
        """What this run puts at the disc's root, and the root itself, get the
        inputs' time; DIR's files and folders keep theirs."""
        for path in [os.path.join(self.disc, name) for name in self.root_files] + [self.disc]:
            os.utime(path, (self.epoch, self.epoch), follow_symlinks=False)

    def make_binaries(self):
        out, disc, cp = self.out, self.disc, self.args.codepage
        step("making the listing and the manifest of the staged disc")
        self.tool(MEDIAKIT, "listing", "build", disc, "-o", os.path.join(out, "listing.bin"), "--disc", "--codepage", cp)
        self.tool(MEDIAKIT, "manifest", "build", disc, "-o", os.path.join(out, "manifest.md5"), "--codepage", cp)
        step("building the 32-bit Vesmark.dll with that data")
        self.build_dll("win32", {"Vesmark.dll": out, "Vesmark.dll.debug": out})
        # Signed before a package takes it in.
        self.sign(os.path.join(out, "Vesmark.dll"))
        # OUT's launcher is the disc's, signed or not.
        for source, name in ((os.path.join(disc, "Tarvolen.exe"), "Tarvolen.exe"),
                             (os.path.join(disc, "disk1.id"), "disk1.id"),
                             (os.path.join(disc, "Tarvolen.ini"), "Tarvolen.ini")):
            output.copy_file(source, os.path.join(out, name))

    def build_launcher(self):
        """The 32-bit launcher with the product's version block and icon; its
        build folder is held until the program and its .debug are in OUT."""
        import launcher_build
        step("building the 32-bit Tarvolen.exe with the product's version block and icon")
        with launcher_build.held():
            built = launcher_build.build(self.launcher, self.log)
            for name in ("Tarvolen.exe", "Tarvolen.exe.debug"):
                output.copy_file(os.path.join(os.path.dirname(built), name), os.path.join(self.out, name))

    def build_dll(self, preset, targets):
        """Builds the PRESET library with this disc's data and copies the files
        named in TARGETS into their folders, while no other master uses the build."""
        build = os.path.join(BUILD, "master", preset)
        with output.held(build + ".lock"), open(self.log, "a") as log:
            done = subprocess.run([os.path.join(SOURCE_DIR, "tools", "build_with_data.sh"), preset, build,
                                   os.path.join(self.out, "listing.bin"), os.path.join(self.out, "manifest.md5")],
                                  stdout=subprocess.PIPE, stderr=log, text=True)
            if done.returncode != 0:
                raise Refused("building the %s Vesmark.dll failed (log: %s)" % (preset, self.log))
            built = os.path.dirname(done.stdout.strip())
            for name, folder in targets.items():
                output.copy_file(os.path.join(built, name), os.path.join(folder, name))

    def package_tool(self, arch, dll, target):
        """Builds the package; with --sign, signed last, as ./kit package --sign signs it."""
        a = self.args
        signer = self.signer
        signing = ["--sign", signer.pfx, "--sign-password-file", signer.password_file] if signer else []
        if signer and signer.timestamp:
            signing += ["--timestamp", signer.timestamp]
        self.tool(sys.executable, os.path.join(HERE, "build_package.py"), a.package, "--disc", self.disc,
                  "--arch", arch, "--dll", dll, "--codepage", a.codepage, "-o", target, *signing)
        if signer:
            print("%s: %s" % (os.path.relpath(target, self.out), signer.said()), flush=True)

    def make_packages(self):
        out, disc = self.out, self.disc
        step("building the package from %s (Intel) into the disc" % self.args.package)
        # Signed last, with the signed library inside; the listing exempts
        # setup.msi and the manifest leaves it out, so neither changes.
        self.package_tool("x86", os.path.join(out, "Vesmark.dll"), os.path.join(out, "setup.msi"))
        if subprocess.run([CHECK_PACKAGE, os.path.join(out, "setup.msi"), os.path.join(out, "Vesmark.dll"),
                           "Intel"]).returncode != 0:
            self.status = 2
        staged = os.path.join(disc, "setup.msi")
        os.chmod(staged, 0o644)
        output.copy_file(os.path.join(out, "setup.msi"), staged)
        os.chmod(staged, 0o444)
        self.settle_times()
        # This machine's Wine runs 64-bit programs only: ./kit try runs these.
        step("building the 64-bit twin for ./kit try in %s" % os.path.join(out, "wine"))
        wine = os.path.join(out, "wine")
        os.mkdir(wine)
        self.build_dll("win64", {"Vesmark.dll": wine})
        output.copy_file(TARVOLEN64, os.path.join(wine, "Tarvolen.exe"))
        for name in ("Vesmark.dll", "Tarvolen.exe"):
            self.sign(os.path.join(wine, name))
        self.package_tool("x64", os.path.join(wine, "Vesmark.dll"), os.path.join(wine, "setup.msi"))

    def verify(self, tree):
        done = subprocess.run([MEDIAKIT, "verify", tree, "--listing", os.path.join(self.out, "listing.bin"),
                               "--manifest", os.path.join(self.out, "manifest.md5"),
                               "--codepage", self.args.codepage])
        self.status = max(self.status, done.returncode)
        return done.returncode == 0

    def inspect_binaries(self):
        step("inspecting the binaries")
        out = self.out
        for kind, name in (("dll", "Vesmark.dll"), ("exe", "Tarvolen.exe")):
            if subprocess.run([CHECK_PE, kind, os.path.join(out, name)]).returncode != 0:
                self.status = 2
        for number, name in (("101", "listing.bin"), ("103", "manifest.md5")):
            done = subprocess.run([PE_RESOURCE, os.path.join(out, "Vesmark.dll"), "BIN", number],
                                  stdout=subprocess.PIPE)
            with open(os.path.join(out, name), "rb") as f:
                same = done.returncode == 0 and done.stdout == f.read()
            if same:
                print("Vesmark.dll: BIN %s equals %s" % (number, name), flush=True)
            else:
                print("Vesmark.dll: BIN %s differs from %s" % (number, name), file=sys.stderr, flush=True)
                self.status = 2

    def make_image(self):
        # The volume's dates, the dates of what has no file on disk, and the
        # files' access and change times all follow the inputs.
        uuid_date = time.strftime("%Y%m%d%H%M%S00", time.gmtime(self.epoch))
        mkisofs = ["xorriso", "-volume_date", "uuid", uuid_date, "-volume_date", "all_file_dates", "set_to_mtime",
                   "-iso_nowtime", "=%d" % self.epoch,
                   "-as", "mkisofs", "-J", "-joliet-long", "-r", "-V", self.label]
        size = subprocess.run(mkisofs + ["-print-size", self.disc], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
        try:
            needed = int(size.stdout.split()[-1])
        except (ValueError, IndexError):
            raise Refused("xorriso could not size the image of %s" % self.disc)
        capacity = MEDIA[self.args.medium]
        if needed > capacity:
            raise Refused("the image needs %d sectors of %d bytes, %d more than %s holds (%d)"
                          % (needed, SECTOR, needed - capacity, self.args.medium, capacity))
        step("writing the image %s (ISO 9660 with Joliet names, label %s)" % (self.iso, self.label))
        readback = os.path.join(self.out, ".image-readback")
        try:
            with output.replacing(self.iso) as part:
                self.tool(*mkisofs, "-o", part, self.disc)
                # The image is proven by what Windows reads from it: its Joliet
                # names, with no Rock Ridge name standing in for one.
                step("reading the image back and verifying what it holds")
                self.tool("xorriso", "-osirrox", "on", "-read_fs", "norock", "-indev", part,
                          "-extract", "/", readback)
                proven = self.verify(readback)
                output.remove(readback)
                if not proven:
                    raise NotProven()
        except NotProven:
            print("the image does not hold the disc as mastered: it was not kept", file=sys.stderr, flush=True)
            return
        self.image_kept = True
        print("the image holds the disc as mastered", flush=True)

    def summary(self, outputs):
        a, out, disc = self.args, self.out, self.disc
        folders = files = 0
        for _, dirs, names in os.walk(disc):
            folders += len(dirs)
            files += len(names)
        with open(os.path.join(out, "manifest.md5"), "rb") as f:
            rows = sum(1 for line in f if line.strip())
        print()
        print("Mastered %s as %s" % (self.dir, disc))
        print("  %d folders, %d files; manifest rows: %d" % (folders, files, rows))
        print("  product %s, disc %s" % (a.product, a.disc_id))
        v = self.launcher
        print("  Tarvolen.exe: ProductName %s; CompanyName %s; FileDescription %s; version %s; %s icon"
              % (v.product, v.company, v.description, v.version, v.icon_name))
        if self.transform:
            path = os.path.join(disc, self.transform_name)
            print("  transform %s at the disc's root (Transform=%s), %d bytes  md5 %s; Setup=%s"
                  % (self.transform_name, self.transform_name, os.path.getsize(path), digest(path, "md5"),
                     a.template))
            if "TRANSFORMS=" not in a.template.upper():
                print("  warning: the Setup template sets no TRANSFORMS=: the installer does not apply it")
        for name in outputs:
            path = os.path.join(out, name)
            print("  %-13s %9d bytes  md5 %s" % (name, os.path.getsize(path), digest(path, "md5")))
            # The shipped binaries build to the same bytes from the same inputs,
            # so their digests identify a release.
            if name in ("Vesmark.dll", "Tarvolen.exe"):
                print("  %-29s  sha256 %s (debug information: %s.debug)" % ("", digest(path, "sha256"), name))
        if self.image_kept:
            print("  %-13s %9d bytes  sha256 %s" % (os.path.basename(self.iso), os.path.getsize(self.iso),
                                                   digest(self.iso, "sha256")))
        if self.signer is not None:
            print("  Tarvolen.exe, Vesmark.dll%s %s; signing time %s"
                  % (" and setup.msi (the twin's too)" if a.package else "", self.signer.said(),
                     time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime(self.epoch))))
            if self.signer.timestamp:
                print("  the time stamps are the server's: a second run gives other bytes")
        if a.package and product_code_derived_for(a.package):
            print("  setup.msi's ProductCode is derived from the package's contents (the source's "
                  "Product Id=\"*\"): it changes whenever they change")
        if not a.package:
            print("  no package built: setup.msi on the disc is a stand-in (--package WXS builds it)")
        if self.status == 0:
            print("Result: mastered and verified.")
            if a.package:
                print("Next: ./kit try %s" % (self.iso or disc))
        elif self.status == 1:
            print("Result: the staged disc or the image does not match what was mastered (see above).")
        else:
            print("Result: error (see above).")


def product_code_derived_for(source):
    import build_package
    import package_codes
    return package_codes.asks_product_code(build_package.source_text(source))


def digest(path, name):
    h = hashlib.new(name)
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()


class NotProven(Exception):
    pass


def main(argv):
    rule = output.Rule()

    def body():
        args = parse(argv)
        if args.help:
            print(USAGE)
            return 0
        master = Master(args, rule)
        master.check()
        if args.check:
            return 0
        # The sample's folder is one for every master of the sample.
        with output.held(args.dir + ".lock") if master.sample else contextlib.nullcontext():
            return master.run()

    return output.main(COMMAND, body, rule)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
