#!/usr/bin/python3
"""Builds a package from a WiX source that uses the Vesmark fragment, with its
files installed from the loose disc tree, and proves that the disc holds every
file where the installer will look for it. Called by ./kit package."""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import package_codepage
import package_codes
import signing

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
FRAGMENT = os.path.join(SOURCE_DIR, "packaging", "Vesmark.wxs")
WIX_NS = "{http://schemas.microsoft.com/wix/2006/wi}"
FRAGMENT_REF = re.compile(r'<CustomActionRef\s+Id="Vesmark[A-Za-z]*"\s*/>')
# wixl refuses RemoveFile elements; their rows are written after it ran.
REMOVE_FILE = re.compile(r"\s*<RemoveFile\b[^>]*/>")
REMOVE_FILE_MODES = {"install": "1", "uninstall": "2", "both": "3"}

FILE_NONCOMPRESSED = 8192
CUSTOM_ACTION_HIDE_TARGET = 8192
CUSTOM_ACTION_NO_IMPERSONATE = 2048
FEATURE_DISALLOW_ABSENT = 16
WORD_COUNT_COMPRESSED = 2
PID_WORDCOUNT = "15"


class PackageError(Exception):
    pass


def run(args, cwd=None):
    done = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, encoding="utf-8",
                          errors="replace")
    if done.returncode != 0:
        raise PackageError(f"{os.path.basename(args[0])} failed:\n{done.stderr.strip()}")
    return done.stdout


def fragment_body():
    text = open(FRAGMENT, encoding="utf-8").read()
    match = re.search(r"<Fragment>(.*)</Fragment>", text, re.S)
    return match.group(1)


def inline_fragment(source_text):
    """Puts the fragment's rows where the package references it: wixl links
    no custom actions from fragments, so the reference is expanded in place."""
    if not FRAGMENT_REF.search(source_text):
        return source_text, False
    # wixl drops a "$" that does not start a variable, so the component
    # sigil of the fragment's conditions is written the way wixl keeps it.
    body = re.sub(r"\$(?!\()", "$$", fragment_body())
    return FRAGMENT_REF.sub(lambda _: body, source_text, count=1), True


class Table:
    """One table as msiinfo exports it: three header lines, then rows."""

    def __init__(self, package, name):
        self.package = package
        self.name = name
        text = run(["msiinfo", "export", package, name])
        lines = text.replace("\r\n", "\n").split("\n")
        self.header = lines[:3]
        self.columns = self.header[0].split("\t")
        self.rows = [dict(zip(self.columns, line.split("\t"))) for line in lines[3:] if line]

    def write(self, folder):
        path = os.path.join(folder, f"{self.name}.idt")
        with open(path, "w", encoding="utf-8", newline="\r\n") as out:
            for line in self.header:
                out.write(line + "\n")
            for row in self.rows:
                out.write("\t".join(row.get(c, "") for c in self.columns) + "\n")
        run(["msibuild", self.package, "-i", path])


def long_name(name):
    return name.split("|")[-1]


def source_part(default_dir):
    """The source half of a DefaultDir (target:source); without one the
    target name is the source name too."""
    target, _, source = default_dir.partition(":")
    return long_name(source or target)


def declared(source_file, element, attribute):
    """Values of an attribute that wixl does not carry into the package, by Id."""
    tree = ET.parse(source_file)
    return {e.get("Id"): e.get(attribute) for e in tree.iter(WIX_NS + element) if e.get(attribute) is not None}


def apply_source_names(package, names, scratch):
    if not names:
        return
    table = Table(package, "Directory")
    for row in table.rows:
        source = names.get(row["Directory"])
        if source is not None:
            target = row["DefaultDir"].partition(":")[0]
            row["DefaultDir"] = f"{target}:{source}"
    table.write(scratch)


def loose_layout_stated(tree):
    """The one Media element of a source (a parsed tree) whose files are loose
    on the disc; a source that asks for a cabinet is refused, never rewritten."""
    for package in tree.iter(WIX_NS + "Package"):
        if package.get("Compressed") == "yes":
            raise PackageError('the Package says Compressed="yes", but a disc\'s files are loose: '
                               'give Compressed="no"')
    if any(tree.iter(WIX_NS + "MediaTemplate")):
        raise PackageError('a MediaTemplate makes cabinets, but a disc\'s files are loose: give <Media Id="1"/>')
    media = list(tree.iter(WIX_NS + "Media"))
    if len(media) != 1:
        raise PackageError(f'the source has {len(media)} Media elements; a loose disc is one: <Media Id="1"/>')
    if media[0].get("Id") != "1":
        raise PackageError(f'the Media Id is {media[0].get("Id")}; the disc of every file is <Media Id="1"/>')
    if media[0].get("Cabinet") is not None or media[0].get("EmbedCab") == "yes":
        raise PackageError('the Media element names a cabinet (Cabinet or EmbedCab), but a disc\'s files are '
                           'loose: give <Media Id="1"/> without them')
    for element in tree.iter(WIX_NS + "File"):
        if element.get("Compressed") == "yes":
            raise PackageError(f'the File {element.get("Id")} says Compressed="yes", but a disc\'s files are loose')
    return media[0]


def loose_file_layout(package, media, uncompressed, scratch):
    """What the WiX toolset writes for loose files and wixl 0.101 does not:
    wixl writes no Media row without a cabinet, keeps the compressed bit of
    the word count whatever the Package says, and ignores File Compressed="no"."""
    files = Table(package, "File")
    for row in files.rows:
        if row["File"] in uncompressed:
            row["Attributes"] = str(int(row["Attributes"] or 0) | FILE_NONCOMPRESSED)
    files.write(scratch)
    last = max((int(r["Sequence"]) for r in files.rows), default=0)
    table = Table(package, "Media")
    table.rows = [{"DiskId": "1", "LastSequence": str(last), "DiskPrompt": media.get("DiskPrompt", ""),
                   "VolumeLabel": media.get("VolumeLabel", "")}]
    table.write(scratch)
    # With the compressed bit the installer would ignore the source names of
    # the folders and read every file from the disc root.
    summary = Table(package, "_SummaryInformation")
    for row in summary.rows:
        if row["PropertyId"] == PID_WORDCOUNT:
            row["Value"] = str(int(row["Value"]) & ~WORD_COUNT_COMPRESSED)
    summary.write(scratch)


def set_flag(package, table_name, column, flag, keys, scratch):
    """Sets a bit that the source asks for and wixl leaves out."""
    if not keys:
        return
    table = Table(package, table_name)
    key = table.columns[0]
    for row in table.rows:
        if row[key] in keys:
            row[column] = str(int(row[column] or 0) | flag)
    table.write(scratch)


def impersonate_unless_asked(package, no_impersonation, scratch):
    """wixl marks every custom action to run without impersonation unless it
    says Impersonate="yes"; WiX impersonates unless an action says "no"."""
    table = Table(package, "CustomAction")
    for row in table.rows:
        if row["Action"] not in no_impersonation:
            row["Type"] = str(int(row["Type"]) & ~CUSTOM_ACTION_NO_IMPERSONATE)
    table.write(scratch)


def removals_declared(source_file):
    """RemoveFile rows as the WiX toolset makes them: the folder is the
    element's Directory or Property, else its component's folder."""
    rows = []
    for folder in ET.parse(source_file).iter():
        if folder.tag not in (WIX_NS + "Directory", WIX_NS + "DirectoryRef"):
            continue
        for component in folder.findall(WIX_NS + "Component"):
            for element in component.iter(WIX_NS + "RemoveFile"):
                if not element.get("Id"):
                    raise PackageError(f"a RemoveFile in the component {component.get('Id')} has no Id")
                rows.append({"FileKey": element.get("Id"), "Component_": component.get("Id"),
                             "FileName": element.get("Name", ""),
                             "DirProperty": element.get("Directory") or element.get("Property")
                             or component.get("Directory") or folder.get("Id"),
                             "InstallMode": REMOVE_FILE_MODES.get(element.get("On"), "1")})
    return rows


def apply_removals(package, rows, scratch):
    if rows:
        table = Table(package, "RemoveFile")
        table.rows += rows
        table.write(scratch)


def asked(values, wanted):
    return {key for key, value in values.items() if value == wanted}


def source_paths(package):
    """Disc-relative path of each file, as the installer resolves a loose file:
    the source names of its folders from the root down, then its long name."""
    folders = {r["Directory"]: r for r in Table(package, "Directory").rows}
    components = {r["Component"]: r["Directory_"] for r in Table(package, "Component").rows}

    def folder_path(key):
        parts = []
        while key:
            row = folders[key]
            parent = row["Directory_Parent"]
            if parent and parent != key:
                name = source_part(row["DefaultDir"])
                if name != ".":
                    parts.append(name)
            key = parent if parent != key else ""
        return list(reversed(parts))

    for row in Table(package, "File").rows:
        yield row, folder_path(components[row["Component_"]]) + [long_name(row["FileName"])]


def find_on_disc(disc, parts):
    """The host path of a disc path, matching names without regard to case as
    the installer on a disc does; None when the disc does not hold it."""
    path = disc
    for part in parts:
        if os.path.exists(os.path.join(path, part)):
            path = os.path.join(path, part)
            continue
        try:
            match = [n for n in os.listdir(path) if n.lower() == part.lower()]
        except OSError:
            return None
        if len(match) != 1:
            return None
        path = os.path.join(path, match[0])
    return path


def installed_files(package, disc):
    return [host for host in (find_on_disc(disc, parts) for _, parts in source_paths(package)) if host]


def check_disc_layout(package, disc):
    problems = []
    count = 0
    for row, parts in source_paths(package):
        count += 1
        where = "\\".join(parts)
        host = find_on_disc(disc, parts)
        if host is None or not os.path.isfile(host):
            problems.append(f"{row['File']}: the installer reads it from <disc>\\{where}, which the disc does not hold")
        elif os.path.getsize(host) != int(row["FileSize"]):
            problems.append(f"{row['File']}: <disc>\\{where} is {os.path.getsize(host)} bytes, "
                            f"the package was built with {row['FileSize']}")
    return count, problems


MACHINES = {"x86": "i386", "x64": "x86-64"}
EXPORTS = ("CheckContentOfItems", "CheckItems", "CryptFile")
XML_ENCODING = re.compile(rb"""^\s*<\?xml[^>]*\bencoding\s*=\s*["']([A-Za-z0-9._-]+)["']""")
SET_BY_OPTIONS = {"Arch": "--arch", "VesmarkDll": "--dll", "Disc": "--disc"}


def source_text(path):
    """The source as text, read in the encoding its declaration names; the
    copy wixl reads is UTF-8, so its declaration is made to say so."""
    with open(path, "rb") as f:
        data = f.read()
    declared_as = XML_ENCODING.match(data)
    encoding = declared_as.group(1).decode("ascii") if declared_as else "utf-8-sig"
    try:
        text = data.decode(encoding)
    except LookupError:
        raise PackageError(f"{path} declares the encoding {encoding}, which is not known")
    except UnicodeDecodeError as error:
        raise PackageError(f"{path} is not {encoding} text as it declares (byte {error.start} is 0x{data[error.start]:02x})")
    return re.sub(r"""^(\s*<\?xml[^>]*\bencoding\s*=\s*["'])[^"']*""", r"\g<1>utf-8", text, count=1)


def check_library(dll, arch):
    """The library must be a PE image of the package's machine with Vesmark's three exports."""
    import pe_image
    try:
        image = pe_image.open_image(dll)
    except pe_image.NotImage as error:
        raise PackageError(f"--dll {dll} is not a PE image ({error})")
    machine = pe_image.machine(image)
    if machine != MACHINES[arch]:
        raise PackageError(f"--dll {dll} is an {machine} image; an {arch} package needs an {MACHINES[arch]} one")
    missing = [name for name in EXPORTS if name not in pe_image.exports(image)]
    if not pe_image.is_dll(image) or missing:
        raise PackageError(f"--dll {dll} is not Vesmark's library: it does not export " + ", ".join(missing or EXPORTS))


def check_defines(defines, wanted, folder):
    for define in defines:
        name, equals, value = define.partition("=")
        if not equals:
            raise PackageError(f"-D {define}: give NAME=VALUE")
        if name in SET_BY_OPTIONS:
            given = value if name == "Arch" else os.path.realpath(os.path.join(folder, value))
            if given != wanted[name]:
                raise PackageError(f"-D {define} contradicts {SET_BY_OPTIONS[name]}; give {SET_BY_OPTIONS[name]} alone")


def check(args, rule):
    """Every argument and input, before anything is written."""
    import output
    source = rule.input_file("the WiX source", args.wxs)
    disc = rule.input_folder("--disc", args.disc)
    dll = rule.input_file("--dll", args.dll)
    rule.input_file("the fragment", FRAGMENT)
    out = rule.file_target("-o", args.output)
    if args.codepage is not None:
        try:
            args.codepage = package_codepage.number(args.codepage, "--codepage")
        except package_codepage.CodePageError as error:
            raise output.Refused(str(error))
    check_library(dll, args.arch)
    try:
        package_codes.given_epoch()
    except package_codes.CodeError as error:
        raise output.Refused(str(error))
    folder = os.path.dirname(source)
    check_defines(args.define, {"Arch": args.arch, "VesmarkDll": dll, "Disc": disc}, folder)
    try:
        signer = signing.signer_from(rule, args.sign, args.sign_password_file, args.timestamp)
    except signing.SigningError as error:
        raise output.Refused(str(error))
    return source, disc, dll, out, signer


def build(args, rule):
    import output
    import package_values
    source, disc, dll, out, signer = check(args, rule)
    text, uses_fragment = inline_fragment(source_text(source))
    try:
        package_code = package_codes.given_package_code(text)
    except package_codes.CodeError as error:
        raise PackageError(str(error)) from None
    try:
        page = package_codepage.choose(source, args.codepage)
        stand_ins = package_codepage.StandIns(page)
        # wixl cannot write names outside its own code page: it is given
        # ASCII stand-ins, and the tables get the real text afterwards.
        hidden_text = stand_ins.hide(text)
    except package_codepage.CodePageError as error:
        raise PackageError(str(error)) from None
    if not uses_fragment:
        print(f"kit package: {args.wxs} does not reference the Vesmark fragment "
              '(<CustomActionRef Id="VesmarkCheckItems"/>); building it without', file=sys.stderr)
    folder = os.path.dirname(source)
    with tempfile.TemporaryDirectory(prefix="kit-package.") as scratch:
        # wixl finds files by paths relative to its working folder, so it runs
        # in the source's folder on a copy with the fragment inlined kept
        # here, and the library and disc are named relative to that folder.
        combined = os.path.join(scratch, os.path.basename(source))
        package = os.path.join(scratch, "package.msi")
        defines = [f"Arch={args.arch}", f"VesmarkDll={os.path.relpath(dll, folder)}",
                   f"Disc={os.path.relpath(disc, folder)}"] + \
            [d for d in args.define if d.partition("=")[0] not in SET_BY_OPTIONS]
        command = ["wixl", "-a", args.arch]
        for define in defines:
            command += ["-D", define]
        # The source's own names, read from a UTF-8 copy without stand-ins.
        plain = os.path.join(scratch, "plain.wxs")
        with open(plain, "w", encoding="utf-8") as unhidden:
            unhidden.write(text)
        media = loose_layout_stated(ET.parse(plain))

        def wixl(wxs_text, target):
            with open(combined, "w", encoding="utf-8") as inlined:
                # wixl refuses RemoveFile: its rows are written after wixl.
                inlined.write(REMOVE_FILE.sub("", wxs_text))
            try:
                run(command + ["-o", target, combined], cwd=folder)
            except PackageError as error:
                raise PackageError(stand_ins.shown(str(error))) from None

        if package_codes.asks_product_code(hidden_text):
            # The source asks for a generated ProductCode: it is derived from
            # what wixl makes of everything else, the product's files included.
            probe = os.path.join(scratch, "probe.msi")
            wixl(package_codes.with_product_code(hidden_text, package_codes.OPEN_CODE), probe)
            try:
                # The real names, which the stand-ins would hide from the code.
                stand_ins.apply_to_tables(probe, scratch)
                package_codes.settle_summary(probe, 0, package_codes.OPEN_CODE, scratch)
            except (package_codes.CodeError, package_codepage.CodePageError) as error:
                raise PackageError(str(error)) from None
            apply_source_names(probe, declared(plain, "Directory", "SourceName"), scratch)
            code = package_codes.derived("ProductCode", probe, installed_files(probe, disc))
            hidden_text = package_codes.with_product_code(hidden_text, code)
        wixl(hidden_text, package)
        try:
            stand_ins.apply_to_tables(package, scratch)
        except package_codepage.CodePageError as error:
            raise PackageError(str(error)) from None
        apply_source_names(package, declared(plain, "Directory", "SourceName"), scratch)
        sources = [plain, FRAGMENT] if uses_fragment else [plain]
        hidden = set().union(*(asked(declared(s, "CustomAction", "HideTarget"), "yes") for s in sources))
        system = set().union(*(asked(declared(s, "CustomAction", "Impersonate"), "no") for s in sources))
        impersonate_unless_asked(package, system, scratch)
        set_flag(package, "CustomAction", "Type", CUSTOM_ACTION_HIDE_TARGET, hidden, scratch)
        set_flag(package, "Feature", "Attributes", FEATURE_DISALLOW_ABSENT,
                 asked(declared(plain, "Feature", "Absent"), "disallow"), scratch)
        apply_removals(package, removals_declared(plain), scratch)
        loose_file_layout(package, media, asked(declared(plain, "File", "Compressed"), "no"), scratch)
        try:
            stand_ins.apply_to_summary(package, scratch)
        except package_codepage.CodePageError as error:
            raise PackageError(str(error)) from None
        count, problems = check_disc_layout(package, disc)
        if problems:
            raise PackageError("the disc does not hold the files where the installer reads them: "
                               + "; ".join(problems))
        if uses_fragment:
            problems = package_values.problems(package, page)
            if problems:
                raise PackageError("; ".join(problems))
        try:
            installed = installed_files(package, disc)
            seconds = package_codes.epoch([source, dll] + installed)
            package_codes.settle_summary(package, seconds, package_code, scratch, installed)
        except package_codes.CodeError as error:
            raise PackageError(str(error)) from None
        if signer is not None:
            sign_package(signer, package, seconds, dll)
        output.copy_file(package, out)
    print(f"{args.output}: {args.arch} package in code page {page}, {count} files installed from the loose "
          f"disc tree {args.disc}"
          + (", with Vesmark's actions" if uses_fragment else "")
          + (f"; {signer.said()}" if signer else ""))


def sign_package(signer, package, seconds, dll):
    """Signs the package as its last change, dated as the package is; the
    library goes in as given (./kit master --sign signs the one it builds)."""
    try:
        signer.sign(package, seconds)
        if not signing.read(dll):
            sys.stdout.flush()
            print(f"kit package: note: the library {dll} the package embeds carries no signature of its own "
                  "(./kit master --sign signs the one it builds)", file=sys.stderr, flush=True)
    except signing.SigningError as error:
        raise PackageError(str(error)) from None


class Parser(argparse.ArgumentParser):
    def error(self, message):
        import output
        raise output.Refused(message + " (./kit package --help lists the options)")


def main():
    sys.dont_write_bytecode = True  # no __pycache__ in the source tree
    import output
    parser = Parser(
        prog="./kit package", allow_abbrev=False,
        description="Builds a Windows Installer package from a WiX source with wixl, its files "
                    "installed from the loose disc tree DIR rather than a cabinet, as the source states "
                    '(Package Compressed="no" and one <Media Id="1"/>; a source that asks for a cabinet is '
                    "refused, not rewritten). A source that "
                    'references the Vesmark fragment (<CustomActionRef Id="VesmarkCheckItems"/>) '
                    "gets its checks and encryption, and its values are checked as CryptFile reads "
                    "them: every name of Files a file the package installs below _DBASE_ in the "
                    "component VesmarkEncryptedFiles (no leading \\, drive, ':' or '..'), RectPyrc two "
                    "whole numbers (start 0 or more, length -1 or more, within 32 bits), and Files, "
                    "RectPyrc and ProductNameShort within 1299, 254 and 31 bytes in the code page. "
                    "Folders' SourceName attributes say where the files lie on the disc; every file is "
                    "checked to be there. The package's dates are SOURCE_DATE_EPOCH, else the newest "
                    "input's; its PackageCode (unless the source gives a Package Id), and its ProductCode "
                    "when the source says Product Id=\"*\", are name-based UUIDs of its contents and the "
                    "files it installs, so the same inputs give the same bytes. Nothing but FILE is written (beside it, then renamed into "
                    "place); exit 2 with the reason for anything refused.")
    parser.add_argument("wxs", help="the package's WiX source")
    parser.add_argument("--disc", required=True, metavar="DIR", help="the disc tree the package installs from")
    parser.add_argument("--arch", choices=["x86", "x64"], default="x86",
                        help="x86 (the shipped 32-bit package, default) or x64")
    parser.add_argument("--dll", metavar="PATH",
                        help="the Vesmark.dll made for this disc, of the package's architecture: a PE image "
                             "of that machine exporting CheckItems, CheckContentOfItems and CryptFile "
                             "(default for x86: dist/Vesmark.dll, as ./kit master writes it)")
    parser.add_argument("-o", "--output", metavar="FILE", default="dist/setup.msi",
                        help="the package to write (default dist/setup.msi); only a regular file is replaced")
    parser.add_argument("--codepage", metavar="N",
                        help="the disc's ANSI code page, the package's too: its names and values are written "
                             "in it (default: the source's Codepage, else 1252); a source declaring another "
                             "is refused")
    parser.add_argument("--sign", metavar="CERT.pfx",
                        help="sign the package last (Authenticode, SHA-256, with osslsigncode; its signing time "
                             "is the package's date): the signature covers every table and stream, the library "
                             "too, which goes in as --dll gives it (./kit master --sign signs the one it builds)")
    parser.add_argument("--sign-password-file", metavar="FILE",
                        help="the first line of FILE is the pass phrase of CERT.pfx, checked to open it before "
                             "anything is written (never give it on the command line)")
    parser.add_argument("--timestamp", metavar="URL",
                        help="have the RFC 3161 time-stamping server at URL stamp the signature (then the same "
                             "inputs no longer give the same bytes)")
    parser.add_argument("-D", dest="define", action="append", default=[], metavar="NAME=VALUE",
                        help="a preprocessor variable for the source (Arch, VesmarkDll and Disc are set by "
                             "--arch, --dll and --disc; a -D that contradicts them is refused)")
    rule = output.Rule()

    def body():
        args = parser.parse_args()
        if args.dll is None:
            if args.arch != "x86":
                parser.error("--dll is needed for an x64 package")
            args.dll = "dist/Vesmark.dll"
        try:
            build(args, rule)
        except (PackageError, ET.ParseError) as error:
            raise output.Refused(str(error))
        return 0

    return output.main("kit package", body, rule)


if __name__ == "__main__":
    sys.exit(main())
