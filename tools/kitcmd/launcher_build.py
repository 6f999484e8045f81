"""The product's own Tarvolen.exe: its version block (company, product,
description, version) and icon checked, then built as the shipped launcher
is (cmake/ShippedBuild.cmake: stripped, the same bytes from the same values)
in a build folder of its own, one master at a time.

The version block holds its texts as UTF-16, but the disc is made for
machines of one ANSI code page: a text that code page cannot write is
refused, as the product's name already is in disk1.id."""
import os
import re
import struct
import subprocess
import sys

import output
import pe_image
from output import Refused

HERE = os.path.dirname(os.path.realpath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
BUILD = os.path.join(SOURCE_DIR, "build", "master", "win32-launcher")
KIT_ICON = os.path.join(SOURCE_DIR, "launcher", "res", "Tarvolen.ico")
DEFAULT_VERSION = "1.0.0.0"
TEXT_BYTES = 254  # as for the product identifier in disk1.id
PNG = b"\x89PNG\r\n\x1a\n"
# The resource directory's entries and the section's alignment, on top of the icon's bytes.
ICON_SLACK = 2048


class Values:
    def __init__(self, company, product, description, version, icon, icon_name):
        self.company, self.product, self.description = company, product, description
        self.version, self.icon, self.icon_name = version, icon, icon_name


def version_fault(text):
    parts = text.split(".")
    if len(parts) != 4 or not all(re.fullmatch(r"[0-9]{1,5}", p) for p in parts):
        return "is not four numbers A.B.C.D"
    if any(int(p) > 65535 for p in parts):
        return "has a number over 65535"
    return None


def check_version(text):
    fault = version_fault(text)
    if fault:
        raise Refused("--version '%s' %s (each of 0 to 65535)" % (text, fault))
    return ".".join(str(int(p)) for p in text.split("."))


def package_version(package_root):
    """The WiX source's Product Version as four numbers, when it is literal."""
    product = package_root.find("{http://schemas.microsoft.com/wix/2006/wi}Product")
    given = product.get("Version") if product is not None else None
    if not given or not re.fullmatch(r"[0-9]+(\.[0-9]+){0,3}", given):
        return None
    padded = ".".join((given.split(".") + ["0"] * 3)[:4])
    return None if version_fault(padded) else ".".join(str(int(p)) for p in padded.split("."))


def check_text(what, text, codepage):
    encoding = "cp" + codepage
    if not text:
        raise Refused("%s is empty" % what)
    if any(ord(c) < 32 or ord(c) == 127 for c in text):
        raise Refused("%s holds a control character" % what)
    try:
        written = text.encode(encoding)
    except UnicodeError:
        raise Refused("%s '%s' cannot be written in code page %s (choose it with --codepage)"
                      % (what, text, codepage))
    if written.decode(encoding) != text:
        raise Refused("%s '%s' reads back as another text in code page %s" % (what, text, codepage))
    if len(written) > TEXT_BYTES:
        raise Refused("%s is %d bytes in code page %s, over %d" % (what, len(written), codepage, TEXT_BYTES))


def icon_fault(data):
    """Why DATA is no icon file Windows and the resource compiler take; None when it is one."""
    if len(data) < 6:
        return "is shorter than an icon file's 6-byte header"
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1:
        return "does not begin as an icon file (00 00 01 00)"
    if count == 0:
        return "holds no image"
    first = 6 + 16 * count
    if len(data) < first:
        return "ends inside its directory of %d images" % count
    for number in range(count):
        width, height, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * number)
        what = "image %d (%dx%d)" % (number + 1, width or 256, height or 256)
        if size == 0 or offset < first or offset + size > len(data):
            return "%s lies outside the file" % what
        image = data[offset:offset + size]
        if not image.startswith(PNG) and not (size >= 40 and struct.unpack_from("<I", image)[0] == 40):
            return "%s is neither a bitmap (BITMAPINFOHEADER) nor a PNG" % what
    return None


def icon_bytes(data):
    """What an icon takes in the image: its pictures and its group directory."""
    count = struct.unpack_from("<H", data, 4)[0]
    return sum(struct.unpack_from("<I", data, 6 + 16 * n + 8)[0] for n in range(count)) + 6 + 14 * count


def icon_room(built):
    """Bytes an icon may take so that the launcher keeps within check_pe.py's
    limit, judged by the launcher BUILT with the kit's icon; None before it is built."""
    if not os.path.isfile(built):
        return None
    # The shipped programs' inspection holds the limit.
    sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "binaries"))
    import check_pe
    pe = pe_image.open_image(built)
    without = len(pe.__data__) - sum(size for kind, _, _, size in pe_image.resources(pe)
                                     if kind in (check_pe.RT_ICON, check_pe.RT_GROUP_ICON))
    return check_pe.SIZE_LIMITS["exe"] - without - ICON_SLACK


def read_icon(rule, path, built):
    path = rule.input_file("--icon", path)
    with open(path, "rb") as f:
        data = f.read()
    fault = icon_fault(data)
    if fault:
        raise Refused("--icon %s %s" % (path, fault))
    room = icon_room(built)
    if room is not None and icon_bytes(data) > room:
        raise Refused("--icon %s: its images take %d bytes; the launcher has room for %d"
                      % (path, icon_bytes(data), room))
    return data


def values(args, rule, codepage, package_root, built):
    """The launcher's values from the options, each checked; the defaults
    follow --product (and the package source's version)."""
    version = check_version(args.version) if args.version is not None else (
        package_root is not None and package_version(package_root) or DEFAULT_VERSION)
    company = args.company if args.company is not None else args.product
    description = args.description if args.description is not None else args.product + " setup"
    check_text("--company", company, codepage)
    check_text("--product", args.product, codepage)
    check_text("--description" if args.description is not None else
               "--description (by default --product followed by ' setup')", description, codepage)
    if args.icon is None:
        with open(KIT_ICON, "rb") as f:
            icon, icon_name = f.read(), "the kit's"
    else:
        icon, icon_name = read_icon(rule, args.icon, built), os.path.basename(args.icon)
    return Values(company, args.product, description, version, icon, icon_name)


def build(v, log):
    """Builds Tarvolen.exe with V's values; returns the built program's path
    (its .debug beside it). Call with the build folder held."""
    os.makedirs(BUILD, exist_ok=True)
    # The icon the run checked, not whatever its file holds by now.
    icon = os.path.join(BUILD, "product.ico")
    with output.replacing(icon) as part, open(part, "xb") as f:
        f.write(v.icon)
    configure = ["cmake", "--preset", "win32", "-B", BUILD, "-DTARVOLEN_COMPANY=" + v.company,
                 "-DTARVOLEN_PRODUCT=" + v.product, "-DTARVOLEN_DESCRIPTION=" + v.description,
                 "-DTARVOLEN_VERSION=" + v.version, "-DTARVOLEN_ICON=" + icon]
    with open(log, "a") as f:
        built = all(subprocess.run(command, stdout=f, stderr=f, cwd=SOURCE_DIR).returncode == 0
                    for command in (configure, ["cmake", "--build", BUILD, "--target", "Tarvolen"]))
    if not built:
        raise Refused("building the win32 Tarvolen.exe failed (log: %s)" % log)
    return os.path.join(BUILD, "bin", "Tarvolen.exe")


def held():
    return output.held(BUILD + ".lock")
