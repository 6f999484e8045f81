"""What the binary checks and ./kit inspect read from a Windows PE image.

Debian's python3-pefile parses the image; this module adds what pefile leaves
to its caller: section names longer than eight characters (kept in the COFF
string table), resources looked up by (type, id, language), and every time
stamp the image carries.
"""
import struct
import zlib

import pefile

MACHINES = {0x14C: "i386", 0x8664: "x86-64", 0x1C0: "ARM", 0xAA64: "ARM64"}
SUBSYSTEMS = {1: "native", 2: "Windows GUI", 3: "Windows console", 9: "Windows CE GUI", 10: "EFI application"}
IMAGE_FILE_DLL = 0x2000


class NotImage(Exception):
    pass


def parse(data):
    """Parses the bytes of an image; NotImage when they are none."""
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as e:
        raise NotImage(e.value) from None
    # pefile reads what a truncated file still holds and says nothing.
    end = max((s.PointerToRawData + s.SizeOfRawData for s in pe.sections if s.SizeOfRawData), default=0)
    if end > len(data):
        raise NotImage("truncated: its sections end at byte %d, the file has %d" % (end, len(data)))
    return pe


def open_image(path):
    """Parses PATH; OSError when it cannot be read, NotImage when it is no PE image."""
    with open(path, "rb") as f:
        return parse(f.read())


def is_dll(pe):
    return bool(pe.FILE_HEADER.Characteristics & IMAGE_FILE_DLL)


def machine(pe):
    value = pe.FILE_HEADER.Machine
    return MACHINES.get(value, "machine 0x%x" % value)


def subsystem(pe):
    value = pe.OPTIONAL_HEADER.Subsystem
    return SUBSYSTEMS.get(value, "subsystem %d" % value)


def section_name(pe, section):
    raw = section.Name.rstrip(b"\0")
    # The linker writes "/N" for a long name: N is its offset in the string table.
    if raw.startswith(b"/") and raw[1:].isdigit():
        header = pe.FILE_HEADER
        table = header.PointerToSymbolTable + 18 * header.NumberOfSymbols
        if header.PointerToSymbolTable:
            start = table + int(raw[1:])
            end = pe.__data__.find(b"\0", start)
            if end > start:
                raw = pe.__data__[start:end]
    return raw.decode("latin-1")


def sections(pe):
    return [(section_name(pe, s), s) for s in pe.sections]


def debug_information(pe):
    """Names what debug information the image itself carries; empty when none."""
    found = [name for name, _ in sections(pe) if name.startswith((".debug", ".zdebug", ".stab"))]
    if pe.FILE_HEADER.NumberOfSymbols:
        found.append("%d COFF symbols" % pe.FILE_HEADER.NumberOfSymbols)
    for entry in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
        found.append("debug directory entry of type %d" % entry.struct.Type)
    return found


def debug_link(pe):
    """(file name, CRC-32) of the separate debug file the image names, or None."""
    for name, section in sections(pe):
        if name == ".gnu_debuglink":
            data = section.get_data()
            end = data.find(b"\0")
            crc_at = (end + 4) & ~3
            return data[:end].decode("latin-1"), struct.unpack_from("<I", data, crc_at)[0]
    return None


def file_crc(path):
    with open(path, "rb") as f:
        return zlib.crc32(f.read()) & 0xFFFFFFFF


def imports(pe):
    return sorted({entry.dll.decode("latin-1").lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])})


def exports(pe):
    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        return []
    return sorted(s.name.decode("latin-1") for s in pe.DIRECTORY_ENTRY_EXPORT.symbols if s.name)


def _key(entry):
    return str(entry.name) if entry.name is not None else entry.id


def _resource_types(pe):
    return pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []


def resources(pe):
    """Every resource as (type, id, language, size); named types and ids are strings."""
    found = []
    for kind in _resource_types(pe):
        for name in kind.directory.entries:
            for language in name.directory.entries:
                found.append((_key(kind), _key(name), language.id, language.data.struct.Size))
    return found


def resource(pe, type_key, id_key, language=None):
    """The bytes of one resource, or None. With no LANGUAGE the first one found is taken."""
    for kind in _resource_types(pe):
        if _key(kind) != type_key:
            continue
        for name in kind.directory.entries:
            if _key(name) != id_key:
                continue
            for leaf in name.directory.entries:
                if language is None or leaf.id == language:
                    entry = leaf.data.struct
                    try:
                        return pe.get_data(entry.OffsetToData, entry.Size)
                    except pefile.PEFormatError:
                        raise NotImage("resource %s %s lies outside the image (RVA 0x%x, %d bytes)"
                                       % (type_key, id_key, entry.OffsetToData, entry.Size)) from None
    return None


def time_stamps(pe):
    """(where, value) for every time stamp field of the image that is not zero."""
    stamps = [("file header", pe.FILE_HEADER.TimeDateStamp)]
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        stamps.append(("export directory", pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp))
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        stamps.append(("import of " + entry.dll.decode("latin-1"), entry.struct.TimeDateStamp))
    for entry in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
        stamps.append(("debug directory", entry.struct.TimeDateStamp))
    if hasattr(pe, "DIRECTORY_ENTRY_LOAD_CONFIG"):
        stamps.append(("load configuration", pe.DIRECTORY_ENTRY_LOAD_CONFIG.struct.TimeDateStamp))
    pending = [pe.DIRECTORY_ENTRY_RESOURCE] if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    while pending:
        directory = pending.pop()
        stamps.append(("resource directory", directory.struct.TimeDateStamp))
        pending.extend(e.directory for e in directory.entries if hasattr(e, "directory"))
    return [(where, value) for where, value in stamps if value]


def _four(most, least):
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def version_block(pe):
    """(file version, product version, [(name, text)]) of the image's version
    block, the numbers from its fixed part; None when it has none."""
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        return None
    texts = []
    for info in getattr(pe, "FileInfo", [[]])[0]:
        for table in getattr(info, "StringTable", []):
            texts += [(k.decode("utf-8", "replace"), v.decode("utf-8", "replace")) for k, v in table.entries.items()]
    f = fixed[0]
    return _four(f.FileVersionMS, f.FileVersionLS), _four(f.ProductVersionMS, f.ProductVersionLS), texts
