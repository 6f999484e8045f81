"""The package in the disc's code page.

wixl 0.101 ignores the source's Codepage and SummaryCodepage, writes every
string in code page 1252, leaves a name it cannot write there empty and
crashes on a product name outside it. So wixl is given the source with each
run of non-ASCII text replaced by an ASCII stand-in, and the stand-ins are put
back afterwards in the disc's code page: the database's code page is set with
a _ForceCodepage row and the tables holding stand-ins are imported again
(msibuild reads UTF-8 and stores the database's code page); the summary
information is imported with its code page and its strings as bytes in that
code page, which is how msibuild stores them."""

import os
import re
import subprocess
import xml.etree.ElementTree as ET

WIX_NS = "{http://schemas.microsoft.com/wix/2006/wi}"
# Attributes naming host files that wixl reads: these keep their own letters.
HOST_PATHS = re.compile(r"""(\b(?:Source|SourceFile)\s*=\s*(?:"[^"]*"|'[^']*'))""")
NON_ASCII = re.compile(r"(?:[^\x00-\x7f]|&#(?:\d+|x[0-9a-fA-F]+);)+")
STAND_IN = "Qcp%06dQ"
STAND_IN_FOUND = re.compile(r"Qcp\d{6}Q")
STAND_IN_BYTES = re.compile(rb"Qcp\d{6}Q")
WORD_END = set("\"'<>= \t\r\n")
PID_CODEPAGE = "1"


class CodePageError(Exception):
    pass


def _run(args, cwd=None):
    done = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode != 0:
        raise CodePageError("%s failed:\n%s" % (os.path.basename(args[0]),
                                                done.stderr.decode("utf-8", "replace").strip()))
    return done.stdout


def number(text, what):
    """A code page as a number from "1251" or "windows-1251"; CodePageError when unknown."""
    match = re.fullmatch(r"\s*(?:windows-|cp)?(\d+)\s*", text or "", re.I)
    if match is None:
        raise CodePageError("%s '%s' is not a code page number" % (what, text))
    page = int(match.group(1))
    try:
        "".encode("cp%d" % page)
    except LookupError:
        raise CodePageError("%s %d is not a code page known here" % (what, page)) from None
    return page


def declared(source):
    """(what, code page) of each code page the WiX source declares for the package."""
    found = []
    for element, attribute, what in (("Product", "Codepage", "the database's code page (Product Codepage)"),
                                     ("Package", "SummaryCodepage",
                                      "the summary's code page (Package SummaryCodepage)")):
        for node in ET.parse(source).iter(WIX_NS + element):
            if node.get(attribute) is not None:
                found.append((what, number(node.get(attribute), "%s %s" % (element, attribute))))
    return found


def choose(source, disc_page):
    """The package's code page: the disc's (DISC_PAGE, None when not given),
    which every code page the source declares must equal; else the one the
    source declares, else 1252."""
    pages = declared(source)
    if disc_page is None:
        if len({page for _, page in pages}) > 1:
            raise CodePageError("the source declares two code pages: "
                                + ", ".join("%s %d" % pair for pair in pages))
        return pages[0][1] if pages else 1252
    for what, page in pages:
        if page != disc_page:
            raise CodePageError("the source declares %s %d, the disc's names are in code page %d "
                                "(--codepage): the installer would read other names than the disc "
                                "carries; master with --codepage %d or change the source"
                                % (what, page, disc_page, page))
    return disc_page


def _unescaped(run):
    return re.sub(r"&#(x[0-9a-fA-F]+|\d+);",
                  lambda m: chr(int(m.group(1)[1:], 16) if m.group(1)[0] == "x" else int(m.group(1))), run)


class StandIns:
    def __init__(self, page):
        self.page = page
        self.encoding = "cp%d" % page
        self.texts = {}  # stand-in -> text
        self.by_text = {}

    def _stand_in(self, match):
        text = _unescaped(match.group(0))
        if text.isascii():
            return match.group(0)
        try:
            readable = text.encode(self.encoding).decode(self.encoding) == text
        except UnicodeError:
            readable = False
        if not readable:
            start, end = match.span()
            whole = match.string
            while start > 0 and whole[start - 1] not in WORD_END:
                start -= 1
            while end < len(whole) and whole[end] not in WORD_END:
                end += 1
            raise CodePageError("'%s' in the source cannot be written in code page %d, the package's "
                                "(choose the disc's with --codepage)" % (_unescaped(whole[start:end]), self.page))
        if text not in self.by_text:
            self.by_text[text] = STAND_IN % len(self.by_text)
            self.texts[self.by_text[text]] = text
        return self.by_text[text]

    def hide(self, source_text):
        """The source with a stand-in for each non-ASCII run outside the host paths wixl reads."""
        if STAND_IN_FOUND.search(source_text):
            raise CodePageError("the source holds text of the form %s, which packaging uses itself"
                                % (STAND_IN % 0))
        parts = HOST_PATHS.split(source_text)
        return "".join(part if index % 2 else NON_ASCII.sub(self._stand_in, part)
                       for index, part in enumerate(parts))

    def shown(self, text):
        return STAND_IN_FOUND.sub(lambda m: self.texts.get(m.group(0), m.group(0)), text)

    def apply_to_tables(self, package, scratch):
        """Sets the database's code page and puts the texts back into every table."""
        folder = os.path.join(scratch, "codepage")
        os.makedirs(folder, exist_ok=True)
        force = os.path.join(folder, "_ForceCodepage.idt")
        with open(force, "wb") as out:
            out.write(b"\r\n\r\n%d\t_ForceCodepage\r\n" % self.page)
        _run(["msibuild", package, "-i", force])
        tables = _run(["msiinfo", "tables", package]).decode("ascii").split()
        for table in tables:
            if table in ("_SummaryInformation", "_ForceCodepage"):
                continue
            # A table with streams is exported with a folder of them beside it.
            text = _run(["msiinfo", "export", package, table], cwd=folder).decode("utf-8")
            if not STAND_IN_FOUND.search(text):
                continue
            wanted = self.shown(text)
            path = os.path.join(folder, "%s.idt" % table)
            with open(path, "wb") as out:
                out.write(wanted.encode("utf-8"))
            _run(["msibuild", package, "-i", path])
            if _run(["msiinfo", "export", package, table], cwd=folder).decode("utf-8") != wanted:
                raise CodePageError("the %s table did not take its text in code page %d" % (table, self.page))

    def apply_to_summary(self, package, scratch):
        """The summary information's code page, and its strings in it."""
        lines = _run(["msiinfo", "export", package, "_SummaryInformation"]).split(b"\r\n")
        rows = [line.split(b"\t", 1) for line in lines[3:] if line]
        rows = [row for row in rows if row[0] != PID_CODEPAGE.encode()]
        rows.insert(0, [PID_CODEPAGE.encode(), str(self.page).encode()])
        body = b"\r\n".join(lines[:3] + [b"\t".join(row) for row in rows]) + b"\r\n"
        body = STAND_IN_BYTES.sub(lambda m: self.texts.get(m.group(0).decode(), m.group(0).decode())
                                  .encode(self.encoding), body)
        path = os.path.join(scratch, "codepage", "_SummaryInformation.idt")
        with open(path, "wb") as out:
            out.write(body)
        _run(["msibuild", package, "-i", path])


def summary_code_page(package):
    """The code page the package's summary information gives, or None."""
    lines = _run(["msiinfo", "export", package, "_SummaryInformation"]).split(b"\r\n")
    for line in lines[3:]:
        key, _, value = line.partition(b"\t")
        if key == PID_CODEPAGE.encode() and value.strip().isdigit():
            return int(value)
    return None


def database_code_page(package):
    lines = _run(["msiinfo", "export", package, "_ForceCodepage"]).split(b"\r\n")
    value = lines[2].split(b"\t")[0] if len(lines) > 2 else b""
    return int(value) if value.isdigit() else None
