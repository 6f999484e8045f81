#!/usr/bin/python3
"""Bad inputs to one kit command, one row per class: the command must exit 2
within seconds, say why in one line, and leave every input and every target
it was named byte for byte and mode for mode as it was: the product tree, a
device node, a FIFO, a symbolic link and its target, the WiX source, a folder
of someone else's files and an earlier run's output.
    bad_inputs_test.py master|package|try|inspect VESMARK_DLL OTHER_DLL"""
import hashlib
import os
import re
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time

# Who runs a row as a user without root's right to read every file.
UNPRIVILEGED = (65534, 65534)
AS_UNPRIVILEGED = ["setpriv", "--reuid=%d" % UNPRIVILEGED[0], "--regid=%d" % UNPRIVILEGED[1], "--clear-groups"]
TOOLS = os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "tools", "kitcmd")
KIT_ICON = os.path.join(TOOLS, "..", "..", "launcher", "res", "Tarvolen.ico")
SCRIPTS = {"master": "master.py", "package": "build_package.py", "try": "try_disc.py", "inspect": "inspect_file.py"}
SOURCE = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Probe" Language="1033" Version="1.0.0" Manufacturer="Probe"
           UpgradeCode="5B0E2D4C-7A19-4C3E-8F62-1D9B3A7C5E20">
    <Package InstallerVersion="200" Compressed="no" InstallScope="perMachine"/>
    <Media Id="1"/>
    <CustomActionRef Id="VesmarkCheckItems"/>
    <Property Id="Files" Value="{files}"/>
    <Property Id="RectPyrc" Value="{range}"/>
    <Property Id="ProductNameShort" Value="{phrase}"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="_DBASE_" Name="Probe" SourceName="Data">
          <Component Id="VesmarkEncryptedFiles" Guid="6C1F3E5D-8B2A-4D4F-9A73-2E0C4B8D6F31">
            <File Id="a.txt" Name="a.txt" Source="$(var.Disc)/Data/a.txt"/>
            <RemoveFile Id="a.txt.anew" Name="a.txt" On="install"/>
          </Component>
          <Component Id="Other" Guid="7D2F3E5D-8B2A-4D4F-9A73-2E0C4B8D6F32">
            <File Id="b.txt" Name="b.txt" Source="$(var.Disc)/Data/b.txt"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="VesmarkEncryptedFiles"/><ComponentRef Id="Other"/></Feature>
  </Product>
</Wix>
"""


def source(files="a.txt", range="0;4", phrase="probe"):
    return SOURCE.format(files=files, range=range, phrase=phrase)


def make_fixture(w, dll, other_dll):
    os.makedirs(f"{w}/product/Data")
    for name, text in (("Data/a.txt", "alpha\r\n"), ("Data/b.txt", "beta\r\n")):
        with open(f"{w}/product/{name}", "w") as f:
            f.write(text)
    os.chmod(f"{w}/product/Data/b.txt", 0o640)
    os.symlink("product/Data/a.txt", f"{w}/link.txt")
    os.symlink("product", f"{w}/productlink")
    os.mkfifo(f"{w}/fifo")
    os.mknod(f"{w}/device", stat.S_IFCHR | 0o666, os.makedev(1, 3))
    for name, text in (("probe.wxs", source()), ("escape.wxs", source(files="..\\..\\windows\\win.ini")),
                       ("range.wxs", source(range="16-4096")), ("phrase.wxs", source(phrase="p" * 36)),
                       ("typo.wxs", source(files="a.txtt")), ("other.wxs", source(files="b.txt")),
                       ("compressed.wxs", source().replace('Compressed="no"', 'Compressed="yes"')),
                       ("cabinet.wxs", source().replace('<Media Id="1"/>', '<Media Id="1" Cabinet="data.cab"/>')),
                       ("compressed-file.wxs", source().replace('Name="b.txt"', 'Name="b.txt" Compressed="yes"')),
                       ("notes.txt", "not a library\n")):
        with open(f"{w}/{name}", "w") as f:
            f.write(text)
    with open(f"{w}/latin.wxs", "wb") as f:
        f.write(source(phrase="caf\xe9").encode("latin-1"))  # declared utf-8, holding 0xE9
    os.makedirs(f"{w}/foreign/data")
    with open(f"{w}/foreign/data/keep.me", "w") as f:
        f.write("someone else's\n")
    # An earlier master's output holding the product as its disc, and an earlier try's.
    for made, command in (("made", "kit master"), ("tried", "kit try")):
        os.makedirs(f"{w}/{made}")
        with open(f"{w}/{made}/.kit-output", "w") as f:
            f.write(f"made by {command}; emptied by its next run\n")
    os.rename(f"{w}/product", f"{w}/made/disc")
    os.symlink("made/disc", f"{w}/product")
    with open(f"{w}/made/disc/Data/pipe-free.txt", "w") as f:
        f.write("x")
    # Tools that take their time, so a signal comes while one runs; each says
    # when it started.
    os.makedirs(f"{w}/slow")
    for tool in ("wixl", "cmake"):
        with open(f"{w}/slow/{tool}", "w") as f:
            f.write("#!/bin/sh\necho $$ >\"$0.started\"\nexec sleep 30\n")
        os.chmod(f"{w}/slow/{tool}", 0o755)
    os.makedirs(f"{w}/failing")
    with open(f"{w}/failing/cmake", "w") as f:
        f.write("#!/bin/sh\necho cmake: no compiler today >&2\nexit 1\n")
    os.chmod(f"{w}/failing/cmake", 0o755)
    # An earlier master's output whose disc and log became links to inputs.
    os.makedirs(f"{w}/linked")
    shutil.copy(f"{w}/made/.kit-output", f"{w}/linked")
    os.symlink("../made/disc", f"{w}/linked/disc")
    os.symlink("../notes.txt", f"{w}/linked/mastering.log")
    # A product with a file only root may read, and a folder another user may
    # write OUT into.
    os.chmod(w, 0o755)
    shutil.copytree(f"{w}/made/disc", f"{w}/secret")
    os.chmod(f"{w}/secret/Data/b.txt", 0o644)
    with open(f"{w}/secret/Data/private.txt", "w") as f:
        f.write("root's\n")
    os.chmod(f"{w}/secret/Data/private.txt", 0o600)
    os.makedirs(f"{w}/others")
    if os.geteuid() == 0:
        os.chown(f"{w}/others", *UNPRIVILEGED)
    os.makedirs(f"{w}/discfifo/disc")
    os.mkfifo(f"{w}/discfifo/disc/pipe")
    # A sparse product larger than a 650 MB CD.
    os.makedirs(f"{w}/big")
    with open(f"{w}/big/huge.bin", "wb") as f:
        f.truncate(700 * 1024 * 1024)
    # Icons: one cut short, and one whose single bitmap is larger than the launcher has room for.
    with open(KIT_ICON, "rb") as f:
        icon = f.read()
    with open(f"{w}/cut.ico", "wb") as f:
        f.write(icon[:len(icon) // 2])
    with open(f"{w}/huge.ico", "wb") as f:
        bitmap = struct.pack("<IiiHHIIiiII", 40, 256, 512, 1, 32, 0, 0, 0, 0, 0, 0) + bytes(300000)
        f.write(struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(bitmap), 22) + bitmap)
    with open(dll, "rb") as f:
        image = bytearray(f.read())
    with open(f"{w}/truncated.dll", "wb") as f:
        f.write(image[:len(image) // 3])
    machine_at = struct.unpack_from("<I", image, 0x3C)[0] + 4
    struct.pack_into("<H", image, machine_at, 0x8664)
    with open(f"{w}/x64.dll", "wb") as f:
        f.write(image)
    os.symlink(os.path.abspath(dll), f"{w}/Vesmark.dll")
    os.symlink(os.path.abspath(other_dll), f"{w}/other.dll")
    with open(f"{w}/badres.dll", "wb") as f:
        f.write(bad_resource(dll))
    make_signer(w)
    # A 64-bit twin beside each disc, as ./kit try finds it: only its machine
    # and its package's data are read before the try starts.
    os.makedirs(f"{w}/made/wine")
    subprocess.run([os.path.join(TOOLS, SCRIPTS["package"]), f"{w}/probe.wxs", "--arch", "x64", "--dll",
                    f"{w}/x64.dll", "--disc", f"{w}/made/disc", "-o", f"{w}/made/wine/setup.msi"],
                   stdout=subprocess.DEVNULL, check=True)
    os.link(f"{w}/x64.dll", f"{w}/made/wine/Tarvolen.exe")
    for twin in (f"{w}/wine", f"{w}/discfifo/wine"):
        shutil.copytree(f"{w}/made/wine", twin)


def make_signer(w):
    """A self-signed code-signing certificate in signer.pfx, its pass phrase in
    pass.txt, another in wrong.txt; an expired one in expired.pfx."""
    for name, text in (("pass.txt", "signing phrase\n"), ("wrong.txt", "not the phrase\n")):
        with open(f"{w}/{name}", "w") as f:
            f.write(text)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{w}/key.pem",
                    "-out", f"{w}/cert.pem", "-days", "30", "-subj", "/CN=Probe Signer"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    # The same key with a certificate that expired yesterday.
    subprocess.run(["openssl", "req", "-new", "-key", f"{w}/key.pem", "-subj", "/CN=Expired Signer",
                    "-out", f"{w}/expired.csr"], check=True)
    subprocess.run(["openssl", "x509", "-req", "-in", f"{w}/expired.csr", "-signkey", f"{w}/key.pem", "-days", "-1",
                    "-out", f"{w}/expired.pem"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    for name in ("cert", "expired"):
        pfx = "signer" if name == "cert" else name
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", f"{w}/key.pem", "-in", f"{w}/{name}.pem",
                        "-out", f"{w}/{pfx}.pfx", "-passout", f"file:{w}/pass.txt"], check=True)


def bad_resource(dll):
    """The library with its first resource pointing far outside the image."""
    with open(dll, "rb") as f:
        data = bytearray(f.read())
    import pefile
    pe = pefile.PE(data=bytes(data))
    leaf = pe.DIRECTORY_ENTRY_RESOURCE.entries[0].directory.entries[0].directory.entries[0]
    struct.pack_into("<I", data, leaf.data.struct.get_file_offset(), 0x7FFFF000)
    return bytes(data)


def fill_disk(folder, room=0):
    """A full file system at FOLDER (a small tmpfs, filled but for ROOM bytes);
    False where none can be mounted."""
    os.makedirs(folder, exist_ok=True)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", folder],
                      stderr=subprocess.DEVNULL).returncode != 0:
        return False
    with open(f"{folder}/filler", "wb", buffering=0) as f:
        try:
            while f.write(bytes(64 * 1024)):
                pass
        except OSError:
            pass
        f.truncate(max(0, os.fstat(f.fileno()).st_size - room))
    return True


def snapshot(root):
    """Every entry below ROOT, links not followed: kind, mode, size, content or link target."""
    found = {}
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            # A folder's size is the file system's bookkeeping; its entries are compared one by one.
            size = 0 if stat.S_ISDIR(st.st_mode) else st.st_size
            what = (stat.S_IFMT(st.st_mode), stat.S_IMODE(st.st_mode), size, st.st_rdev)
            if stat.S_ISLNK(st.st_mode):
                what += (os.readlink(path),)
            elif stat.S_ISREG(st.st_mode):
                # A large file is compared by its change time, which any write moves.
                if st.st_size > 1 << 24:
                    what += (st.st_ctime_ns,)
                else:
                    with open(path, "rb") as f:
                        what += (hashlib.sha256(f.read()).hexdigest(),)
            found[os.path.relpath(path, root)] = what
    return found


def rows(kind):
    """(class, arguments, what the one line says); {w} is the fixture."""
    dll = ["--dll", "{w}/Vesmark.dll", "--disc", "{w}/made/disc"]
    named = ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/new"]
    product = ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/new"]
    signed = ["--sign", "{w}/signer.pfx", "--sign-password-file"]
    return {
        "master": [
            ("unknown option", ["--hlep"], r"unrecognized arguments: --hlep"),
            ("missing value", ["{w}/product", "--product"], r"--product: expected one argument"),
            ("DIR at OUT/disc", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/made"],
             r"--out .* overlaps DIR"),
            ("OUT a link into DIR", ["{w}/made/disc/Data", "--product", "P", "--id", "I", "--out", "{w}/productlink"],
             r"--out .* overlaps DIR"),
            ("OUT someone else's", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/foreign"],
             r"holds files kit master did not make"),
            ("image onto an input", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/new",
                                     "--iso", "{w}/link.txt"], r"--iso .* overlaps DIR"),
            ("image onto a device", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/new",
                                     "--iso", "{w}/device"], r"--iso .* is a device"),
            ("image into OUT/disc", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/made",
                                     "--iso", "{w}/made/disc/img.iso"], r"--iso .* writes itself"),
            ("source a FIFO", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/new",
                               "--package", "{w}/fifo"], r"the WiX source .* is a FIFO"),
            ("transform not an OLE compound file", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/new",
                                                    "--transform", "{w}/notes.txt"], r"--transform .* is not a transform"),
            ("unknown code page", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/made", "--codepage", "99999"],
             r"code page 99999 is not known"),
            ("disc over the medium", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/new", "--medium", "cd650"],
             r"\d+ more than cd650 holds \(333000\)"),
            ("Files outside _DBASE_", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/new",
                                       "--package", "{w}/escape.wxs"], r"reaches outside _DBASE_"),
            ("RectPyrc not a range", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/new",
                                      "--package", "{w}/range.wxs"], r"RectPyrc '16-4096' is not two whole numbers"),
            ("pass phrase over 31 bytes", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/new",
                                           "--package", "{w}/phrase.wxs"], r"ProductNameShort is 36 bytes"),
            ("launcher version not four numbers", [*named, "--version", "5.1.2"], r"--version '5.1.2' is not four"),
            ("launcher version over 65535", [*named, "--version", "5.1.2.65536"], r"has a number over 65535"),
            ("icon not an icon file", [*named, "--icon", "{w}/notes.txt"], r"does not begin as an icon file"),
            ("icon cut short", [*named, "--icon", "{w}/cut.ico"], r"cut.ico image 3 \(48x48\) lies outside the file"),
            ("icon larger than the launcher's room", [*named, "--icon", "{w}/huge.ico"],
             r"its images take 300060 bytes; the launcher has room for \d+"),
            ("launcher text not in the code page", [*named, "--company", "\u03a9mega"],
             r"--company '\u03a9mega' cannot be written in code page 1252"),
            ("launcher text with a control character", [*named, "--description", "a\tb"], r"holds a control character"),
            ("launcher text over 254 bytes", [*named, "--description", "d" * 255], r"is 255 bytes in code page 1252"),
            ("package with a cabinet", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/new",
                                        "--package", "{w}/cabinet.wxs"], r"--package .*: the Media element names a cabinet"),
            ("SOURCE_DATE_EPOCH not a time", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/new"],
             r"SOURCE_DATE_EPOCH must be whole seconds since 1970"),
            ("a file in DIR another user cannot read", ["{w}/secret", "--product", "P", "--id", "I",
                                                        "--out", "{w}/others/out"],
             r"secret: Data/private.txt: cannot be read; nothing was written"),
            ("SIGTERM while mastering", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/termed"],
             r"interrupted by SIGTERM"),
            ("an earlier OUT's links to inputs", ["{w}/product", "--product", "P", "--id", "I",
                                                  "--out", "{w}/linked"], r"building the win32 Tarvolen.exe failed"),
            ("OUT new inside DIR", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/product/Data/out"],
             r"--out .* overlaps DIR"),
            ("full disk", ["{w}/big", "--product", "P", "--id", "I", "--out", "{w}/full/out"],
             r"staging the disc failed: .*No space left on device"),
            ("full disk at the image", ["{w}/product", "--product", "P", "--id", "I", "--out", "{w}/imaged",
                                        "--iso", "{w}/full/disc.iso"], r"xorriso failed: .*(No space left on device|exceeds free space)"),
            ("--sign without --sign-password-file", [*product, "--sign", "{w}/signer.pfx"],
             r"--sign .*signer.pfx needs --sign-password-file FILE"),
            ("--sign-password-file without --sign", [*product, "--sign-password-file", "{w}/pass.txt"],
             r"--sign-password-file needs --sign CERT.pfx"),
            ("missing pfx", [*product, "--sign", "{w}/nothing.pfx", "--sign-password-file", "{w}/pass.txt"],
             r"--sign .*nothing.pfx: No such file or directory"),
            ("pfx not a PKCS#12 file", [*product, "--sign", "{w}/notes.txt", "--sign-password-file", "{w}/pass.txt"],
             r"--sign .*notes.txt is not a PKCS#12 \(.pfx\) file"),
            ("missing password file", [*product, *signed, "{w}/nothing.txt"],
             r"--sign-password-file .*nothing.txt: No such file or directory"),
            ("wrong pass phrase", [*product, *signed, "{w}/wrong.txt"],
             r"--sign .*signer.pfx: the pass phrase in .*wrong.txt does not open it"),
            ("time-stamping URL not a URL", [*product, *signed, "{w}/pass.txt", "--timestamp", "timestamp.example"],
             r"--timestamp needs the http:// or https:// URL"),
            ("expired certificate", [*product, "--sign", "{w}/expired.pfx", "--sign-password-file", "{w}/pass.txt"],
             r"--sign .*expired.pfx: its certificate expired on "),
            ("pfx a FIFO", [*product, "--sign", "{w}/fifo", "--sign-password-file", "{w}/pass.txt"],
             r"--sign .*fifo is a FIFO"),
        ],
        "package": [
            ("unknown option", ["{w}/probe.wxs", "--disc", "{w}/made/disc", "--dlll", "x"],
             r"unrecognized arguments: --dlll"),
            ("target a device", ["{w}/probe.wxs", *dll, "-o", "{w}/device"], r"-o .* is a device"),
            ("target the source", ["{w}/probe.wxs", *dll, "-o", "{w}/probe.wxs"], r"-o .* overlaps the WiX source"),
            ("target a folder", ["{w}/probe.wxs", *dll, "-o", "{w}/foreign"], r"-o .* is a folder"),
            ("target empty", ["{w}/probe.wxs", *dll, "-o", ""], r"-o is empty"),
            ("target inside the disc", ["{w}/probe.wxs", *dll, "-o", "{w}/made/disc/setup.msi"], r"overlaps --disc"),
            ("target a link to an input", ["{w}/probe.wxs", *dll, "-o", "{w}/link.txt"], r"overlaps --disc"),
            ("source a FIFO", ["{w}/fifo", *dll, "-o", "{w}/new.msi"], r"the WiX source .* is a FIFO"),
            ("source not in its encoding", ["{w}/latin.wxs", *dll, "-o", "{w}/new.msi"], r"is not utf-8 text"),
            ("library a text file", ["{w}/probe.wxs", "--dll", "{w}/notes.txt", "--disc", "{w}/made/disc",
                                     "-o", "{w}/new.msi"], r"is not a PE image"),
            ("library of the other machine", ["{w}/probe.wxs", "--dll", "{w}/x64.dll", "--disc", "{w}/made/disc",
                                              "-o", "{w}/new.msi"], r"is an x86-64 image; an x86 package needs an i386"),
            ("library without the exports", ["{w}/probe.wxs", "--dll", "{w}/other.dll", "--disc", "{w}/made/disc",
                                             "-o", "{w}/new.msi"], r"does not export CheckContentOfItems, CryptFile"),
            ("-D contradicting an option", ["{w}/probe.wxs", *dll, "-o", "{w}/new.msi", "-D", "VesmarkDll=notes.txt"],
             r"-D VesmarkDll=notes.txt contradicts --dll"),
            ("Files a file outside the component", ["{w}/other.wxs", *dll, "-o", "{w}/new.msi"],
             r"'b.txt' names no file the package installs below _DBASE_ in the component VesmarkEncryptedFiles"),
            ("Files a typo", ["{w}/typo.wxs", *dll, "-o", "{w}/new.msi"], r"'a.txtt' names no file"),
            ("a compressed package", ["{w}/compressed.wxs", *dll, "-o", "{w}/new.msi"],
             r"the Package says Compressed=.yes., but a disc's files are loose"),
            ("a Media with a cabinet", ["{w}/cabinet.wxs", *dll, "-o", "{w}/new.msi"],
             r"the Media element names a cabinet"),
            ("a compressed File", ["{w}/compressed-file.wxs", *dll, "-o", "{w}/new.msi"],
             r'the File b.txt says Compressed="yes"'),
            ("Files outside _DBASE_", ["{w}/escape.wxs", *dll, "-o", "{w}/new.msi"], r"reaches outside _DBASE_"),
            ("RectPyrc not a range", ["{w}/range.wxs", *dll, "-o", "{w}/new.msi"], r"RectPyrc '16-4096'"),
            ("pass phrase over 31 bytes", ["{w}/phrase.wxs", *dll, "-o", "{w}/new.msi"], r"ProductNameShort is 36"),
            ("SOURCE_DATE_EPOCH not a time", ["{w}/probe.wxs", *dll, "-o", "{w}/new.msi"],
             r"SOURCE_DATE_EPOCH must be whole seconds since 1970"),
            ("SIGTERM while building", ["{w}/probe.wxs", *dll, "-o", "{w}/new.msi"], r"interrupted by SIGTERM"),
            ("full disk", ["{w}/probe.wxs", *dll, "-o", "{w}/full/new.msi"], r"full/new.msi: No space left on device"),
            ("--sign without --sign-password-file", ["{w}/probe.wxs", *dll, "-o", "{w}/new.msi",
                                                     "--sign", "{w}/signer.pfx"], r"needs --sign-password-file FILE"),
            ("wrong pass phrase", ["{w}/probe.wxs", *dll, "-o", "{w}/new.msi", *signed, "{w}/wrong.txt"],
             r"the pass phrase in .*wrong.txt does not open it"),
        ],
        "try": [
            ("unknown option", ["--wrok", "x"], r"unrecognized arguments: --wrok"),
            ("disc a FIFO", ["{w}/fifo", "--mediakit", "/bin/true"], r"the disc image .* is a FIFO"),
            ("disc holding a FIFO", ["{w}/discfifo/disc", "--mediakit", "/bin/true"], r"holds pipe, which is a FIFO"),
            ("work someone else's", ["{w}/made/disc", "--work", "{w}/foreign"], r"holds files kit try did not make"),
            ("work holding the disc", ["{w}/made/disc", "--work", "{w}/made"], r"--work .* overlaps the disc"),
            ("work a link into the disc", ["{w}/made/disc", "--work", "{w}/productlink/Data"], r"--work .* overlaps the disc"),
            ("timeout not a number", ["{w}/made/disc", "--timeout", "soon"], r"--timeout: invalid int value"),
            ("no earlier disc", ["{w}/made/disc", "--upgrade-from", "{w}/nothing"], r"--upgrade-from: no earlier disc"),
            ("missing --ca", ["{w}/made/disc", "--ca", "{w}/nothing.pem"], r"--ca .*nothing.pem: No such file"),
            ("no lane and no twin", ["{w}/linked/disc"],
             r"no 64-bit twin .* \(the disc's own programs cannot run: no 32-bit Wine root"),
        ],
        "inspect": [
            ("a FIFO", ["{w}/fifo"], r"fifo is a FIFO, not a regular file"),
            ("a device", ["{w}/device"], r"device is a device"),
            ("a truncated image", ["{w}/truncated.dll"], r"a truncated PE image"),
            ("a resource outside the image", ["{w}/badres.dll"], r"resource BIN .* lies outside the image"),
            ("missing --ca", ["--ca", "{w}/nothing.pem", "{w}/Vesmark.dll"], r"--ca .*nothing.pem: No such file"),
        ],
    }[kind]


# Master rows that fail after OUT was claimed: all OUT may then hold is its marker and its log.
WRITING = ("SIGTERM", "full disk", "an earlier OUT")
LEFT_IN_OUT = [".kit-output", "mastering.log"]


def out_of(kind, name, argv):
    if kind != "master" or not name.startswith(WRITING):
        return None
    return os.path.normpath(argv[argv.index("--out") + 1].replace("{w}/", ""))


def still_running(pid):
    """Whether PID lives on for a second (a zombie counts as ended)."""
    for _ in range(20):
        try:
            with open("/proc/%d/stat" % pid) as f:
                if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                    return False
        except OSError:
            return False
        time.sleep(0.05)
    return True


def output_within(relative, out):
    return relative == out or relative.startswith(out + "/")


def unprivileged_can_run(kind):
    script = os.path.join(TOOLS, SCRIPTS[kind])
    return os.geteuid() == 0 and subprocess.run(AS_UNPRIVILEGED + ["test", "-x", script],
                                                stderr=subprocess.DEVNULL).returncode == 0


def main():
    kind, dll, other_dll = sys.argv[1:4]
    failures = 0
    with tempfile.TemporaryDirectory(prefix="bad-inputs.") as w:
        make_fixture(w, dll, other_dll)
        for name, argv, wanted in rows(kind):
            # Room for master's marker and log, none for what it stages.
            staging = kind == "master" and name == "full disk"
            if name.startswith("full disk") and not fill_disk(f"{w}/full", 64 * 1024 if staging else 0):
                print("skip %s: no tmpfs can be mounted here" % name)
                continue
            as_other = "another user" in name
            if as_other and not unprivileged_can_run(kind):
                print("skip %s: cannot run the command as uid %d here" % (name, UNPRIVILEGED[0]))
                continue
            before = snapshot(w)
            command = [os.path.join(TOOLS, SCRIPTS[kind])] + [a.replace("{w}", w) for a in argv]
            if as_other:
                command = AS_UNPRIVILEGED + command
            env = dict(os.environ)
            if name.startswith("SOURCE_DATE_EPOCH"):
                env["SOURCE_DATE_EPOCH"] = "yesterday"
            if name.startswith("SIGTERM"):
                env["PATH"] = "%s/slow:%s" % (w, env["PATH"])
            if name.startswith("an earlier OUT"):
                env["PATH"] = "%s/failing:%s" % (w, env["PATH"])
            if name.startswith("no lane"):
                env["WINE32_HOME"] = f"{w}/no-lane"
            process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd=w,
                                       env=env)
            if name.startswith("SIGTERM"):
                # Once a slow tool has started: the run is well under way.
                started = [f"{w}/slow/{tool}.started" for tool in ("wixl", "cmake")]
                for _ in range(600):
                    if any(os.path.exists(f) for f in started) or process.poll() is not None:
                        break
                    time.sleep(0.05)
                process.send_signal(signal.SIGTERM)
            # A row that masters may first build the library and the launcher
            # with its data, or wait while another master uses that build.
            try:
                out, err = process.communicate(timeout=600)
            except subprocess.TimeoutExpired:
                process.kill()
                out, err = process.communicate()
                err = "(hung) " + err
            problems = []
            if process.returncode != 2:
                problems.append("exit %s, expected 2" % process.returncode)
            lines = [line for line in err.splitlines() if line]
            if len(lines) != 1 or not re.search(wanted, lines[0]):
                problems.append("said %r, expected one line matching %r" % (err, wanted))
            # inspect may show what it read before the fault; the others print nothing.
            claimed = out_of(kind, name, argv)
            if out and kind != "inspect" and not name.startswith("SIGTERM") and not claimed:
                problems.append("printed %r" % out)
            if claimed and sorted(os.listdir(os.path.join(w, claimed))) != LEFT_IN_OUT:
                problems.append("left %s in OUT" % ", ".join(sorted(os.listdir(os.path.join(w, claimed)))))
            for tool in ("wixl", "cmake"):
                if os.path.exists(f"{w}/slow/{tool}.started"):
                    with open(f"{w}/slow/{tool}.started") as f:
                        pid = int(f.read())
                    os.unlink(f"{w}/slow/{tool}.started")
                    if still_running(pid):
                        problems.append("its %s (pid %d) still runs" % (tool, pid))
            after = snapshot(w)
            changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k)
                             and not (claimed and output_within(k, claimed)))
            if changed:
                problems.append("changed: %s" % ", ".join(changed))
            print("%s %s: %s" % ("FAIL" if problems else "ok  ", name, "; ".join(problems) or lines[0]))
            if name.startswith("full disk"):
                subprocess.run(["umount", f"{w}/full"], check=False)
            failures += bool(problems)
    print("bad_inputs_test %s: %d failure(s)" % (kind, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
