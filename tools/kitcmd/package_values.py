"""The values CryptFile reads from a package, checked the way it reads them:
a value it would cut or skip, a range it would not take, or a name that
reaches outside the folder it encrypts in is refused before the package is
written."""
import re

import build_package
import vesmark_package

COMPONENT = "VesmarkEncryptedFiles"
TOP = "_DBASE_"
# Bytes each value may take in the installing machine's code page.
LIMITS = {"Files": 1299, "RectPyrc": 254, "ProductNameShort": 31}
NUMBER = re.compile(r"\s*[+-]?\d+")
INT32_MAX = 2 ** 31 - 1


def encrypted_names(package):
    """The paths below _DBASE_ of the files of the component CryptFile's files belong to, lower case."""
    folders = {r["Directory"]: r for r in build_package.Table(package, "Directory").rows}
    if TOP not in folders:
        return None
    components = {r["Component"]: r["Directory_"] for r in build_package.Table(package, "Component").rows}
    names = set()
    for row in build_package.Table(package, "File").rows:
        if row["Component_"] != COMPONENT:
            continue
        below = vesmark_package._target_below(folders, components[row["Component_"]], TOP)
        if below is not None:
            names.add("\\".join(below + [build_package.long_name(row["FileName"])]).lower())
    return names


def range_problem(text):
    found = vesmark_package.items(text)
    if len(found) != 2 or not all(NUMBER.fullmatch(item) for item in found):
        return "RectPyrc '%s' is not two whole numbers separated by ',' or ';'" % text
    start, length = int(found[0]), int(found[1])
    if not 0 <= start <= INT32_MAX:
        return "RectPyrc '%s': the start must be 0 to %d" % (text, INT32_MAX)
    if not -1 <= length <= INT32_MAX:
        return "RectPyrc '%s': the length must be -1 (the file's size) to %d" % (text, INT32_MAX)
    return None


def name_problem(name, installed):
    parts = re.split(r"[\\/]", name)
    if name.startswith(("\\", "/")) or ":" in name or ".." in parts:
        return ("Files item '%s' reaches outside _DBASE_ (a leading \\, a drive, ':' or a '..' part)" % name)
    if installed is not None and "\\".join(parts).lower() not in installed:
        return "Files item '%s' names no file the package installs below _DBASE_ in the component %s" \
               % (name, COMPONENT)
    return None


def value_problems(values, codepage, installed=None):
    """Why CryptFile would not encrypt what VALUES say, one line each; the
    names of Files are matched against INSTALLED when it is given."""
    found = []
    for name, limit in LIMITS.items():
        text = values.get(name)
        if text is None:
            found.append("the package sets no %s" % name)
            continue
        try:
            size = len(text.encode("cp%s" % codepage))
        except UnicodeError:
            found.append("%s cannot be written in code page %s" % (name, codepage))
            continue
        if size > limit:
            found.append("%s is %d bytes in code page %s, over its limit of %d" % (name, size, codepage, limit))
    if "RectPyrc" in values:
        problem = range_problem(values["RectPyrc"])
        if problem:
            found.append(problem)
    if "Files" in values:
        items = vesmark_package.items(values["Files"])
        if not items:
            found.append("Files names no file")
        found.extend(p for p in (name_problem(item, installed) for item in items) if p)
    return found


def problems(package, codepage):
    """value_problems of a built package."""
    installed = encrypted_names(package)
    if installed is None:
        return ["the package has no folder %s, where CryptFile encrypts" % TOP]
    return value_problems(vesmark_package.properties(package), codepage, installed)
