"""The package's codes and times as they follow from its inputs: the same
source, library and disc give the same package, byte for byte.

wixl stamps the summary with the current time and a fresh PackageCode, and
gives a source's Product Id="*" a fresh ProductCode. Here the times come from
SOURCE_DATE_EPOCH, else from the newest input; a code the source leaves to
generation is a name-based UUID of what it identifies, so it changes whenever
any byte of that does, and stays when nothing did."""
import hashlib
import os
import re
import subprocess
import time
import uuid

# The kit's own namespace for the codes it derives.
NAMESPACE = uuid.UUID("698acf9c-f121-4eac-a230-703239c8986d")
# The ProductCode wixl is given while the package it derives from is built.
OPEN_CODE = "{00000000-0000-0000-0000-000000000000}"
PRODUCT_ID_ASKED = re.compile(r"""(<Product\b[^>]*?\bId\s*=\s*)(["'])\*\2""")
PACKAGE_ID = re.compile(r"""<Package\b[^>]*?\bId\s*=\s*["']([^"']*)["']""")
PID_REVISION, PID_CREATED, PID_SAVED = b"9", b"12", b"13"


class CodeError(Exception):
    pass


def given_epoch():
    """SOURCE_DATE_EPOCH in seconds since 1970, or None when it is not set."""
    given = os.environ.get("SOURCE_DATE_EPOCH")
    if given is None:
        return None
    # The summary's dates and the image's run to 2999 at most.
    if not re.fullmatch(r"\d{1,11}", given) or int(given) >= 32503680000:
        raise CodeError("SOURCE_DATE_EPOCH must be whole seconds since 1970 before the year 3000, not '%s'"
                        % given)
    return int(given)


def epoch(inputs):
    """Seconds since 1970: SOURCE_DATE_EPOCH when set, else the newest input's time."""
    given = given_epoch()
    return given if given is not None else max(int(os.stat(path).st_mtime) for path in inputs)


def asks_product_code(text):
    return PRODUCT_ID_ASKED.search(text) is not None


def with_product_code(text, code):
    return PRODUCT_ID_ASKED.sub(lambda m: m.group(1) + m.group(2) + code + m.group(2), text, count=1)


def given_package_code(text):
    """The Package Id the source gives (wixl ignores it), or None when it asks for one."""
    match = PACKAGE_ID.search(text)
    if match is None or match.group(1) == "*":
        return None
    try:
        return "{%s}" % str(uuid.UUID(match.group(1))).upper()
    except ValueError:
        raise CodeError("the Package Id '%s' is not a GUID" % match.group(1)) from None


def derived(kind, package, installed=()):
    """A name-based UUID of the package file's bytes and of the files it
    installs (which a package without a cabinet does not hold)."""
    digest = hashlib.sha256()
    for path in [package] + list(installed):
        with open(path, "rb") as f:
            for chunk in iter(lambda: f.read(1 << 20), b""):
                digest.update(chunk)
        digest.update(b"\0%d\0" % os.path.getsize(path))
    return "{%s}" % str(uuid.uuid5(NAMESPACE, "%s %s" % (kind, digest.hexdigest()))).upper()


def _run(args):
    # msibuild reads the summary's dates as local time: the same bytes in every time zone.
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=dict(os.environ, TZ="UTC"))
    if done.returncode != 0:
        raise CodeError("%s failed: %s" % (args[0], done.stderr.decode("utf-8", "replace").strip()))
    return done.stdout


def _set_summary(package, values, scratch):
    lines = _run(["msiinfo", "export", package, "_SummaryInformation"]).split(b"\r\n")
    rows = [line.split(b"\t", 1) for line in lines[3:] if line]
    rows = [row for row in rows if row[0] not in values] + [[k, v] for k, v in values.items()]
    rows.sort(key=lambda row: int(row[0]))
    folder = os.path.join(scratch, "summary")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "_SummaryInformation.idt")
    with open(path, "wb") as out:
        out.write(b"\r\n".join(lines[:3] + [b"\t".join(row) for row in rows]) + b"\r\n")
    _run(["msibuild", package, "-i", path])


def settle_summary(package, seconds, package_code, scratch, installed=()):
    """Stamps the summary with the inputs' time and the PackageCode: the given
    one, else one derived from every other byte of the package and the files
    it installs."""
    stamp = time.strftime("%Y/%m/%d %H:%M:%S", time.gmtime(seconds)).encode()
    values = {PID_CREATED: stamp, PID_SAVED: stamp, PID_REVISION: (package_code or OPEN_CODE).encode()}
    _set_summary(package, values, scratch)
    if package_code is None:
        _set_summary(package, {PID_REVISION: derived("PackageCode", package, installed).encode()}, scratch)
