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


def path_key(name):
    """A Files item as the installed paths are keyed: backslashes, lower case."""
    return "\\".join(re.split(r"[\\/]", name)).lower()


def encrypted_files(package):
    """The files of the component CryptFile's files belong to, by their path
    below _DBASE_ in lower case, each with its File row and folder; None
    when the package has no _DBASE_."""
    folders = {r["Directory"]: r for r in build_package.Table(package, "Directory").rows}
    if TOP not in folders:
        return None
    components = {r["Component"]: r["Directory_"] for r in build_package.Table(package, "Component").rows}
    files = {}
    for row in build_package.Table(package, "File").rows:
        if row["Component_"] != COMPONENT:
            continue
        folder = components[COMPONENT]
        below = vesmark_package._target_below(folders, folder, TOP)
        if below is not None:
            files["\\".join(below + [build_package.long_name(row["FileName"])]).lower()] = (row, folder)
    return files


def not_copied_anew(package, files_value, files):
    """Files items whose file no on-install RemoveFile row of its own
    component and folder deletes before InstallFiles: a first installation
    would keep such a file if it is there already, and encrypt it again."""
    removed = {(r["Component_"], r["DirProperty"], build_package.long_name(r["FileName"]).lower())
               for r in build_package.Table(package, "RemoveFile").rows if r["InstallMode"] in ("1", "3")}
    missing = []
    for item in vesmark_package.items(files_value):
        row, folder = files[path_key(item)]
        if (row["Component_"], folder, build_package.long_name(row["FileName"]).lower()) not in removed:
            missing.append(item)
    if not missing:
        return []
    return ["Files names %s, but no <RemoveFile Name=\"...\" On=\"install\"/> in its component removes it "
            "before it is copied anew" % ", ".join(missing)]


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
    if installed is not None and path_key(name) not in installed:
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
    """value_problems of a built package, then the removals its Files need."""
    files = encrypted_files(package)
    if files is None:
        return ["the package has no folder %s, where CryptFile encrypts" % TOP]
    values = vesmark_package.properties(package)
    # A typo in Files is named as a typo before its missing removal.
    return value_problems(values, codepage, set(files)) or not_copied_anew(package, values["Files"], files)
