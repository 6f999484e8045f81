#!/usr/bin/python3
# Debian's interpreter on purpose: python3-pefile installs for it.
"""Usage: ./kit inspect [--mediakit PATH] [--ca FILE] FILE|DISC

Tells what a Windows Installer package (.msi) or a PE image (.dll, .exe) holds,
and whom a disc's programs are signed by.

A package: its summary, its tables with their row counts, its properties, its
custom actions with their types decoded (what runs, immediate or deferred,
impersonation, whether the result is checked), the InstallExecuteSequence in
order with conditions, and each library in its Binary table as below.
A PE image: machine, kind, subsystem, size, SHA-256, time stamps, debug
information or the separate debug file it names, imports, exports, resources,
the version block (its numbers and texts), and the listing (BIN 101) and
manifest (BIN 103) a Vesmark library embeds, the listing as `mediakit listing
show` prints it (PATH, default the native build's build/native/bin/mediakit).
A disc folder or its ISO 9660 image (read through its Joliet names): the
Tarvolen.exe and setup.msi at its root, with the library inside the package.
Each package, image and library shows its Authenticode signatures: signer,
issuer, digest algorithm, the certificate's validity, the signing time and
any time stamp, and whether it verifies (osslsigncode, against --ca FILE,
certificates in PEM, else this machine's; revocation is not checked), or
that it is unsigned.

The value of the property ProductNameShort (the pass phrase) is never shown.
Exit status 0 when FILE was read (whether or not its signatures verify), 2 when it is missing, unreadable, not a
regular file, neither a package nor a PE image, a truncated or damaged image,
or on a usage error.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import msi_package  # noqa: E402
import output  # noqa: E402
import pe_image  # noqa: E402
import signing  # noqa: E402

HERE = os.path.dirname(os.path.realpath(__file__))
SECRET_PROPERTIES = {"ProductNameShort"}
MASK = "******** (not shown)"
# The first volume descriptor of an ISO 9660 image, in its sector 16.
ISO_SIGNATURE_AT = 16 * 2048 + 1
DISC_PROGRAMS = ("Tarvolen.exe", "setup.msi")
RESOURCE_TYPES = {1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table",
                  10: "data", 11: "message table", 12: "cursor group", 14: "icon group", 16: "version",
                  24: "manifest"}


class Unusable(Exception):
    pass


def carries(value, secrets):
    """Whether VALUE holds a secret's text, as a value copied from it would."""
    return any(secret in value for secret in secrets)


def digest_line(data):
    return "%d bytes, SHA-256 %s" % (len(data), hashlib.sha256(data).hexdigest())


def show_listing(data, mediakit, indent):
    if not os.access(mediakit, os.X_OK):
        print("%snot shown: no mediakit at %s (./kit build native makes it)" % (indent, mediakit))
        return
    with tempfile.NamedTemporaryFile(suffix=".bin") as listing:
        listing.write(data)
        listing.flush()
        shown = subprocess.run([mediakit, "listing", "show", listing.name], capture_output=True)
    for line in (shown.stdout + shown.stderr).decode("utf-8", "replace").splitlines():
        print(indent + line.replace(listing.name, "BIN 101"))


def show_embedded_data(pe, mediakit, indent):
    listing = pe_image.resource(pe, "BIN", 101)
    if listing is not None:
        print("%sBIN 101, the listing (%d bytes):" % (indent, len(listing)))
        show_listing(listing, mediakit, indent + "  ")
    manifest = pe_image.resource(pe, "BIN", 103)
    if manifest is not None:
        rows = manifest.decode("cp1252", "replace").splitlines()
        print("%sBIN 103, the manifest (%d bytes, %d rows):" % (indent, len(manifest), len(rows)))
        for row in rows:
            print(indent + "  " + row)


def debug_line(pe, path):
    found = pe_image.debug_information(pe)
    text = "carried: " + ", ".join(found) if found else "none in the image"
    link = pe_image.debug_link(pe)
    if link:
        name, crc = link
        text += "; names %s (CRC-32 0x%08x)" % (name, crc)
        if path:
            beside = os.path.join(os.path.dirname(path), name)
            if not os.path.isfile(beside):
                text += ", not beside it"
            else:
                text += ", beside it" if pe_image.file_crc(beside) == crc else ", beside it but with another CRC"
    return text


def show_signatures(signatures, indent):
    for line in signing.lines(signatures):
        print(indent + line)


def show_image(title, data, mediakit, indent="", path=None, ca=None):
    try:
        pe = pe_image.parse(data)
    except pe_image.NotImage as e:
        raise Unusable("a truncated PE image (%s)" % e if str(e).startswith("truncated") else "not a PE image (%s)" % e)
    kind = "DLL" if pe_image.is_dll(pe) else "program"
    plus = "PE32+" if pe.OPTIONAL_HEADER.Magic == 0x20B else "PE32"
    print("%s%s: %s image, %s %s, %s subsystem" % (indent, title, plus, pe_image.machine(pe), kind, pe_image.subsystem(pe)))
    print("%s  size: %s" % (indent, digest_line(data)))
    show_signatures(signing.read_bytes(data, ca), indent + "  ")
    stamps = pe_image.time_stamps(pe)
    print("%s  time stamps: %s" % (indent, ", ".join("%s 0x%x" % s for s in stamps) if stamps else "none"))
    print("%s  debug information: %s" % (indent, debug_line(pe, path)))
    print("%s  imports: %s" % (indent, " ".join(pe_image.imports(pe)) or "none"))
    print("%s  exports: %s" % (indent, " ".join(pe_image.exports(pe)) or "none"))
    resources = pe_image.resources(pe)
    print("%s  resources (%d):" % (indent, len(resources)))
    for kind, name, language, size in resources:
        shown_kind = "%d (%s)" % (kind, RESOURCE_TYPES[kind]) if kind in RESOURCE_TYPES else kind
        print("%s    %s %s, language %d: %d bytes" % (indent, shown_kind, name, language, size))
    block = pe_image.version_block(pe)
    if block is None:
        print("%s  version block: none" % indent)
    else:
        print("%s  version block: file version %s, product version %s" % (indent, block[0], block[1]))
        for name, text in block[2]:
            print("%s    %s: %s" % (indent, name, text))
    show_embedded_data(pe, mediakit, indent + "  ")


def show_package(path, mediakit, ca=None):
    try:
        info = msi_package.summary(path)
        names = msi_package.tables(path)
    except msi_package.PackageError as e:
        raise Unusable("not a readable Windows Installer package (%s)" % e)
    with open(path, "rb") as f:
        print("%s: Windows Installer package" % path)
        print("  size: %s" % digest_line(f.read()))
    show_signatures(signing.read(path, ca), "  ")
    for key in ("Subject", "Author", "Template", "Revision number (UUID)", "Application"):
        if key in info:
            print("  %s: %s" % (key, info[key]))

    counts = []
    for name in sorted(names):
        # msiinfo lists _SummaryInformation and _ForceCodepage, which hold no rows.
        counts.append(name if name.startswith("_") else "%s (%d)" % (name, len(msi_package.rows(path, name))))
    print("Tables (%d): %s" % (len(names), ", ".join(counts)))

    secrets = []
    if "Property" in names:
        properties = msi_package.rows(path, "Property")
        secrets = [row["Value"] for row in properties if row["Property"] in SECRET_PROPERTIES and row["Value"]]
        print("Properties (%d):" % len(properties))
        for row in properties:
            value = MASK if row["Property"] in SECRET_PROPERTIES or carries(row["Value"], secrets) else row["Value"]
            print("  %s = %s" % (row["Property"], value))

    actions = {}
    if "CustomAction" in names:
        for row in msi_package.rows(path, "CustomAction"):
            kind, target = int(row["Type"]), row["Target"]
            if kind & 0x3F == 0x33 and row["Source"] in SECRET_PROPERTIES or carries(target, secrets):
                target = MASK
            actions[row["Action"]] = "type %d: %s" % (kind, msi_package.describe_action(kind, row["Source"], target))
        print("Custom actions (%d):" % len(actions))
        width = max(map(len, actions), default=0)
        for name, text in actions.items():
            print("  %-*s  %s" % (width, name, text))

    if "InstallExecuteSequence" in names:
        steps = msi_package.rows(path, "InstallExecuteSequence")
        steps.sort(key=lambda r: (r["Sequence"] == "", int(r["Sequence"] or 0)))
        print("InstallExecuteSequence (%d, in order):" % len(steps))
        for row in steps:
            custom = " (custom action)" if row["Action"] in actions else ""
            condition = "  if %s" % row["Condition"] if row["Condition"] else ""
            print("  %5s  %s%s%s" % (row["Sequence"] or "-", row["Action"], custom, condition))

    if "Binary" in names:
        binaries = msi_package.rows(path, "Binary")
        print("Binary streams (%d):" % len(binaries))
        for row in binaries:
            data = msi_package.stream(path, "Binary." + row["Name"])
            try:
                show_image(row["Name"], data, mediakit, indent="  ", ca=ca)
            except Unusable as e:
                print("  %s: %s; %s" % (row["Name"], digest_line(data), e))


def show_disc_programs(title, folder, ca):
    """The signatures of the programs at a disc's root, found as Windows finds them, without regard to case."""
    print("%s: a disc" % title)
    names = {name.lower(): name for name in os.listdir(folder)}
    for wanted in DISC_PROGRAMS:
        name = names.get(wanted.lower())
        path = os.path.join(folder, name) if name else None
        if path is None or not os.path.isfile(path):
            print("  %s: not at its root" % wanted)
            continue
        with open(path, "rb") as f:
            data = f.read()
        print("  %s: %s" % (name, digest_line(data)))
        if not data:
            print("    a stand-in: no package yet")
            continue
        show_signatures(signing.read(path, ca), "    ")
        if data.startswith(msi_package.OLE_SIGNATURE):
            import vesmark_package
            try:
                library = vesmark_package.library(path)
            except msi_package.PackageError as e:
                print("    its library: %s" % e)
                continue
            print("    the library whose CheckItems it calls: %s" % digest_line(library))
            show_signatures(signing.read_bytes(library, ca), "      ")


def show_image_disc(path, ca):
    """An ISO 9660 image's root programs, read through its Joliet names as Windows reads them."""
    import shutil
    if shutil.which("xorriso") is None:
        raise Unusable("an ISO 9660 image, and xorriso is not installed (./kit deps installs it)")
    with tempfile.TemporaryDirectory(prefix="kit-inspect.") as scratch:
        listed = subprocess.run(["xorriso", "-osirrox", "on", "-read_fs", "norock", "-indev", path, "-ls", "/"],
                                capture_output=True, text=True, errors="replace")
        if listed.returncode != 0:
            raise Unusable("an ISO 9660 image xorriso cannot read")
        root = [line.strip().strip("'") for line in listed.stdout.splitlines() if line.startswith("'")]
        found = [name for name in root if name.lower() in (n.lower() for n in DISC_PROGRAMS)]
        for name in found:
            subprocess.run(["xorriso", "-osirrox", "on", "-read_fs", "norock", "-indev", path,
                            "-extract", "/" + name, os.path.join(scratch, name)], capture_output=True)
        show_disc_programs(path, scratch, ca)


def is_iso_image(path):
    with open(path, "rb") as f:
        f.seek(ISO_SIGNATURE_AT)
        return f.read(5) == b"CD001"


def main(argv):
    args = argv[1:]
    mediakit = os.path.join(HERE, "..", "..", "build", "native", "bin", "mediakit")
    if args[:1] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    ca = None
    while args[:1] in (["--mediakit"], ["--ca"]) and len(args) >= 2:
        if args[0] == "--mediakit":
            mediakit = args[1]
        else:
            ca = args[1]
        args = args[2:]
    if len(args) != 1 or args[0].startswith("-"):
        sys.stderr.write(__doc__.strip().splitlines()[0] + " (--help tells more)\n")
        return 2
    path = args[0]

    def body():
        if ca is not None:
            output.Rule().input_file("--ca", ca)
        if os.path.isdir(path):
            output.Rule().input_folder("the disc", path)
            show_disc_programs(path, path, ca)
            return 0
        try:
            # A FIFO or a device would block or never end.
            output.Rule().input_file("FILE", path)
        except output.Refused as e:
            raise output.Refused(str(e).replace("FILE ", "", 1))
        try:
            with open(path, "rb") as f:
                head = f.read(8)
            if head == msi_package.OLE_SIGNATURE:
                show_package(path, mediakit, ca)
            elif head[:2] == b"MZ":
                with open(path, "rb") as f:
                    show_image(path, f.read(), mediakit, path=path, ca=ca)
            elif is_iso_image(path):
                show_image_disc(path, ca)
            else:
                raise Unusable("neither a Windows Installer package nor a PE image")
        except (Unusable, msi_package.PackageError, pe_image.NotImage, signing.SigningError) as e:
            raise output.Refused("%s: %s" % (path, e))
        return 0

    return output.main("inspect", body)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
