#!/usr/bin/env python3
"""Prints one resource of a Windows PE image (PE32 or PE32+) to standard output.

    pe_resource.py FILE TYPE ID [--language LANG]

TYPE is a resource type name such as BIN, or a number such as 16; ID is the
integer identifier. With no --language the first language found is taken.
Exit status 1 when the image has no such resource, 2 when it is not a PE image.
"""
import struct
import sys


class NotPE(Exception):
    pass


def sections_and_resource_rva(image):
    if image[:2] != b"MZ":
        raise NotPE("no MZ header")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise NotPE("no PE signature")
    count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
    if directories < optional:
        raise NotPE("unknown optional header magic 0x%x" % magic)
    resource_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    table = optional + optional_size
    sections = [struct.unpack_from("<8xIIII", image, table + 40 * i) for i in range(count)]
    return sections, resource_rva


def offset_of(sections, rva):
    for virtual_size, virtual_address, raw_size, raw_pointer in sections:
        if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
            return raw_pointer + rva - virtual_address
    raise NotPE("RVA 0x%x lies in no section" % rva)


def entries(image, base, directory):
    named, numbered = struct.unpack_from("<12xHH", image, base + directory)
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
        if name & 0x80000000:
            at = base + (name & 0x7FFFFFFF)
            length = struct.unpack_from("<H", image, at)[0]
            key = image[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        else:
            key = name
        yield key, target


def find(image, type_key, id_key, language):
    sections, resource_rva = sections_and_resource_rva(image)
    if resource_rva == 0:
        return None
    base = offset_of(sections, resource_rva)
    for key, target in entries(image, base, 0):
        if key != type_key:
            continue
        for key2, target2 in entries(image, base, target & 0x7FFFFFFF):
            if key2 != id_key:
                continue
            for key3, leaf in entries(image, base, target2 & 0x7FFFFFFF):
                if language is not None and key3 != language:
                    continue
                rva, size = struct.unpack_from("<II", image, base + leaf)
                start = offset_of(sections, rva)
                return image[start:start + size]
    return None


def main(argv):
    args = [a for a in argv[1:]]
    language = None
    if "--language" in args:
        at = args.index("--language")
        language = int(args[at + 1], 0)
        del args[at:at + 2]
    if len(args) != 3:
        sys.stderr.write(__doc__)
        return 2
    path, type_text, id_text = args
    type_key = int(type_text) if type_text.isdigit() else type_text.upper()
    try:
        with open(path, "rb") as f:
            data = find(f.read(), type_key, int(id_text, 0), language)
    except (OSError, NotPE, struct.error) as e:
        sys.stderr.write("pe_resource.py: %s: %s\n" % (path, e))
        return 2
    if data is None:
        sys.stderr.write("pe_resource.py: %s has no resource %s %s\n" % (path, type_text, id_text))
        return 1
    sys.stdout.buffer.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
