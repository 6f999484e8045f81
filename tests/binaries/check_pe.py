#!/usr/bin/python3
# Debian's interpreter on purpose: python3-pefile installs for it, not for
# whatever python3 comes first on the PATH.
"""Inspects a shipped 32-bit binary and fails on any difference from what the
installer and Windows expect of it, and on what a shipped build must not
carry: debug information and link time stamps.

    check_pe.py dll Vesmark.dll
    check_pe.py exe Tarvolen.exe

Exit status 0 as expected, 1 a problem (each one named), 2 usage error.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "tools", "kitcmd"))
import pe_image  # noqa: E402

ALLOWED_IMPORTS = {
    "dll": ["kernel32.dll", "advapi32.dll", "msi.dll", "msvcrt.dll"],
    "exe": ["kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll"],
}
DLL_EXPORTS = ["CheckContentOfItems", "CheckItems", "CryptFile"]
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def manifest_problems(data):
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as e:
        return ["manifest is not XML (%s)" % e]
    problems = []
    if not any(local_name(e.tag) == "dependentAssembly" and any(
            local_name(i.tag) == "assemblyIdentity"
            and i.get("name") == "Microsoft.Windows.Common-Controls" and i.get("version") == "6.0.0.0"
            for i in e) for e in root.iter()):
        problems.append("manifest without the Common-Controls 6.0.0.0 dependency")
    if not any(local_name(e.tag) == "requestedExecutionLevel" and e.get("level") == "asInvoker"
               for e in root.iter()):
        problems.append("manifest does not request asInvoker")
    return problems


def import_problems(kind, pe):
    imports = pe_image.imports(pe)
    allowed = ALLOWED_IMPORTS[kind]
    problems = [] if imports else ["imports nothing"]
    return problems + ["imports %s (allowed: %s)" % (name, " ".join(allowed))
                       for name in imports if name not in allowed]


def library_problems(pe):
    problems = [] if pe_image.is_dll(pe) else ["not a DLL"]
    problems += import_problems("dll", pe)
    exports = pe_image.exports(pe)
    if exports != DLL_EXPORTS:
        problems.append("exports '%s', expected '%s'" % (" ".join(exports), " ".join(DLL_EXPORTS)))
    return problems


def program_problems(pe):
    problems = ["a DLL, not a program"] if pe_image.is_dll(pe) else []
    if pe.OPTIONAL_HEADER.Subsystem != 2:
        problems.append("not the Windows GUI subsystem")
    problems += import_problems("exe", pe)
    types = {kind for kind, _, _, _ in pe_image.resources(pe)}
    if not {RT_ICON, RT_GROUP_ICON} <= types:
        problems.append("has no icon")
    if RT_VERSION not in types or not any(v.Key == b"VS_VERSION_INFO" for v in getattr(pe, "VS_VERSIONINFO", [])):
        problems.append("has no version block")
    if RT_MANIFEST not in types:
        problems.append("has no manifest")
    else:
        problems += manifest_problems(pe_image.resource(pe, RT_MANIFEST, 1))
    return problems


def problems_of(kind, pe):
    problems = []
    if pe_image.machine(pe) != "i386":
        problems.append("not an image for i386")
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        problems.append("not PE32")
    problems += library_problems(pe) if kind == "dll" else program_problems(pe)
    debug = pe_image.debug_information(pe)
    if debug:
        problems.append("carries debug information (%s)" % ", ".join(debug))
    problems += ["time stamp 0x%x in the %s: two builds of the same sources differ" % (value, where)
                 for where, value in pe_image.time_stamps(pe)]
    return problems


def main(argv):
    if len(argv) != 3 or argv[1] not in ALLOWED_IMPORTS:
        sys.stderr.write(__doc__)
        return 2
    kind, path = argv[1], argv[2]
    try:
        pe = pe_image.open_image(path)
    except (OSError, pe_image.NotImage) as e:
        sys.stderr.write("FAIL: %s: cannot be read as a PE image (%s)\n" % (path, e))
        return 1
    problems = problems_of(kind, pe)
    for problem in problems:
        sys.stderr.write("FAIL: %s: %s\n" % (path, problem))
    if problems:
        sys.stderr.write("%s: %d problem(s)\n" % (path, len(problems)))
        return 1
    print("%s: PE32 i386 %s; imports: %s; exports: %s" % (
        path, kind, " ".join(pe_image.imports(pe)), " ".join(pe_image.exports(pe))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
