#!/usr/bin/python3
# Debian's interpreter on purpose: python3-pefile installs for it.
"""Prints one resource of a Windows PE image (PE32 or PE32+) to standard output.

    pe_resource.py FILE TYPE ID [--language LANG]

TYPE is a resource type name such as BIN, or a number such as 16; ID is the
integer identifier. With no --language the first language found is taken.
Exit status 1 when the image has no such resource, 2 when it is not a PE image.
"""
import os
import sys

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "tools", "kitcmd"))
import pe_image  # noqa: E402


def main(argv):
    args = argv[1:]
    language = None
    try:
        if "--language" in args:
            at = args.index("--language")
            language = int(args[at + 1], 0)
            del args[at:at + 2]
        if len(args) != 3:
            raise ValueError
        path, type_text, id_text = args
        type_key = int(type_text) if type_text.isdigit() else type_text.upper()
        id_key = int(id_text, 0)
    except (ValueError, IndexError):
        sys.stderr.write(__doc__)
        return 2
    try:
        data = pe_image.resource(pe_image.open_image(path), type_key, id_key, language)
    except (OSError, pe_image.NotImage) as e:
        sys.stderr.write("pe_resource.py: %s: %s\n" % (path, e))
        return 2
    if data is None:
        sys.stderr.write("pe_resource.py: %s has no resource %s %s\n" % (path, type_text, id_text))
        return 1
    sys.stdout.buffer.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
