"""What a package built with Vesmark's fragment says about its disc: the values
CryptFile reads, which disc file each name of "Files" installs from, and the
listing and manifest its library embeds."""
import re

import build_package
import msi_package
import pe_image

LISTING_ID = 101
MANIFEST_ID = 103
INT32_MIN, INT32_MAX = -2 ** 31, 2 ** 31 - 1
PackageError = msi_package.PackageError


def properties(package):
    return {row["Property"]: row["Value"] for row in msi_package.rows(package, "Property")}


def items(text):
    """The items of a property value as CryptFile splits them: "," and ";"
    separate, empty items are dropped, blanks belong to the item."""
    return [item for item in re.split(r"[,;]", text) if item]


def _number(item):
    # strtol's rules: leading blanks, a sign, the digits up to another character.
    match = re.match(r"\s*([+-]?\d+)", item)
    return max(INT32_MIN, min(INT32_MAX, int(match.group(1)))) if match else 0


def encryption_range(text):
    """(start, length) of "RectPyrc", length -1 standing for the file's size;
    None when CryptFile encrypts nothing with it."""
    found = items(text)
    if len(found) < 2:
        return None
    start, length = _number(found[0]), _number(found[1])
    return (start, length) if start >= 0 and (length > 0 or length == -1) else None


def _target_below(folders, key, top):
    """The folder names from TOP down to KEY as the installer makes them, or
    None when KEY is not below TOP."""
    parts = []
    while key != top:
        row = folders.get(key)
        if row is None or row["Directory_Parent"] in ("", key):
            return None
        name = build_package.long_name(row["DefaultDir"].partition(":")[0])
        if name != ".":
            parts.append(name)
        key = row["Directory_Parent"]
    return list(reversed(parts))


def installed_files(package, top="_DBASE_", components=None):
    """For each file the package installs below the folder TOP (of COMPONENTS
    only, when given): its path there, split into names, and its path on the
    disc, as the installer reads it."""
    try:
        folders = {r["Directory"]: r for r in build_package.Table(package, "Directory").rows}
        component_folders = {r["Component"]: r["Directory_"]
                             for r in build_package.Table(package, "Component").rows}
        found = []
        for row, disc_parts in build_package.source_paths(package):
            if components is not None and row["Component_"] not in components:
                continue
            below = _target_below(folders, component_folders[row["Component_"]], top)
            if below is not None:
                found.append((below + [build_package.long_name(row["FileName"])], disc_parts))
        return found
    except build_package.PackageError as error:
        raise PackageError(str(error)) from None


def files_to_encrypt(package, files_value):
    """(name, disc path parts or None) for each name of "Files": None when the
    package installs no file of that name below _DBASE_."""
    by_name = {tuple(p.lower() for p in target): disc for target, disc in installed_files(package)}
    return [(name, by_name.get(tuple(p.lower() for p in re.split(r"[\\/]", name))))
            for name in items(files_value)]


def library(package):
    """The bytes of the library whose CheckItems the package calls."""
    keys = [row["Source"] for row in msi_package.rows(package, "CustomAction")
            if row["Target"] == "CheckItems" and int(row["Type"]) & 0x37 == 1]
    if not keys:
        raise PackageError("%s calls no CheckItems from its Binary table" % package)
    return msi_package.stream(package, "Binary." + keys[0])


def embedded_data(package):
    """(listing, manifest, machine) of the package's library."""
    try:
        image = pe_image.parse(library(package))
    except pe_image.NotImage as error:
        raise PackageError("the library in %s is no PE image: %s" % (package, error)) from None
    return (pe_image.resource(image, "BIN", LISTING_ID), pe_image.resource(image, "BIN", MANIFEST_ID),
            pe_image.machine(image))
