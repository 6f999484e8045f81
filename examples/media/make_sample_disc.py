#!/usr/bin/env python3
"""Writes the installation disc of the sample product, Kestrel Ledger 4.2.

The same tree comes out on every machine: fixed names, contents generated from
fixed seeds, fixed modification times, and files made read-only as on a pressed
disc. setup.msi is a placeholder; the listing check never compares its size.

    make_sample_disc.py OUTPUT_FOLDER

The output folder is replaced if it exists.
"""
import hashlib
import os
import shutil
import stat
import sys

# 2026-03-02 09:00:00 UTC; each file is one minute after the previous one.
BASE_TIME = 1772442000

PRODUCT = "Kestrel Ledger"
VERSION = "4.2"

HELP_TOPICS = [
    "accounts", "backup", "budgets", "categories", "currencies", "exporting",
    "getting-started", "importing", "index", "invoices", "keyboard", "ledgers",
    "passwords", "printing", "recurring", "reports", "taxes", "troubleshooting",
]

# (folder, files directly in it, {subfolder: files}) in the order they are written.
TREE = [
    ("Help", [f"{topic}.htm" for topic in HELP_TOPICS], {}),
    ("Redist", ["redist.txt", "kl-core.dll", "kl-print.dll", "kl-report.dll"], {
        "Fonts": [f"kestrel-{face}.ttf" for face in (
            "sans", "sans-bold", "sans-italic", "serif", "serif-bold", "mono",
            "mono-bold", "symbols")],
        "Runtime": ["runtime.txt"],
    }),
    ("Samples", ["index.txt", "readme.txt"], {
        "Budgets": [f"budget-{year}.klb" for year in range(2018, 2027)],
        "Invoices": [f"invoice-{n:04d}.kli" for n in range(1001, 1011)],
        "Ledgers": [f"{name}.kld" for name in (
            "bakery", "bookshop", "cafe", "household", "orchard", "photo-studio",
            "repair-shop", "tutoring")],
        "Reports": [f"{name}.klr" for name in (
            "aged-debtors", "balance-sheet", "cash-flow", "expenses-by-category",
            "income-statement", "monthly-summary", "profit-by-customer",
            "quarterly-tax", "trial-balance", "vat-return", "year-end")],
    }),
    ("Templates", ["templates.txt"] + [f"{name}.rtf" for name in (
        "apology", "credit-note", "price-change", "quote", "receipt", "statement",
        "thank-you", "welcome")], {
        "Business": [f"{name}.klt" for name in (
            "consulting", "construction", "freelance", "hairdresser", "joinery",
            "law-office", "market-stall", "nursery", "plumbing", "printing",
            "retail", "taxi", "veterinary", "wholesale")],
        "Home": [f"{name}.klt" for name in (
            "allotment", "car", "childcare", "club-treasurer", "holiday", "household",
            "pets", "renovation", "savings", "shared-flat", "student", "wedding")],
        "Letters": [f"{name}.rtf" for name in (
            "final-demand", "payment-plan", "reminder-1", "reminder-2", "write-off")],
    }),
]

ROOT_FILES = [
    "autorun.inf", "currency.dat", "disk1.id", "kestrel.ico", "license.txt",
    "quickstart.txt", "readme.txt", "release-notes.txt", "sampledb.kld", "setup.msi",
    "support.txt", "system-requirements.txt", "taxrates.csv", "whatsnew.htm",
]

TEXT_EXTENSIONS = {".txt", ".htm", ".inf", ".id", ".csv", ".rtf"}


def pseudo_random_bytes(seed, size):
    """Deterministic bytes: SHA-256 of the seed and a running counter."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(f"{seed}:{counter}".encode()).digest()
        counter += 1
    return bytes(out[:size])


def text_body(relative, lines):
    words = ("ledger", "account", "balance", "entry", "invoice", "period", "report",
             "budget", "currency", "category", "payment", "customer", "supplier")
    digest = hashlib.sha256(relative.encode()).digest()
    body = []
    for i in range(lines):
        picks = [words[(digest[(i + k) % len(digest)] + k) % len(words)] for k in range(6 + i % 5)]
        body.append(" ".join(picks).capitalize() + ".")
    return "\r\n".join(body) + "\r\n"


def content_of(relative):
    name = os.path.basename(relative)
    extension = os.path.splitext(name)[1].lower()
    size_seed = hashlib.sha256(relative.encode()).digest()
    if name == "setup.msi":
        return b"Placeholder for the Kestrel Ledger installation package.\r\n"
    if name == "disk1.id":
        return b"[disk]\r\nProduct=KestrelLedger42\r\nId=KL42-DISC1\r\n"
    if name == "autorun.inf":
        return b"[autorun]\r\nicon=kestrel.ico\r\nlabel=Kestrel Ledger 4.2\r\n"
    if extension == ".htm":
        title = os.path.splitext(name)[0].replace("-", " ").capitalize()
        text = text_body(relative, 8 + size_seed[0] % 24).replace("\r\n", "</p>\r\n<p>")
        return (f"<html><head><title>{PRODUCT} Help: {title}</title></head>\r\n"
                f"<body><h1>{title}</h1>\r\n<p>{text}</p></body></html>\r\n").encode()
    if extension == ".rtf":
        text = text_body(relative, 6 + size_seed[0] % 12).replace("\r\n", "\\par\r\n")
        return ("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\r\n"
                f"\\f0\\fs22 {text}}}\r\n").encode()
    if extension in TEXT_EXTENSIONS:
        header = f"{PRODUCT} {VERSION}: {name}\r\n\r\n"
        return (header + text_body(relative, 4 + size_seed[0] % 40)).encode()
    # Binary data: a four-byte signature, then deterministic bytes.
    size = 512 + int.from_bytes(size_seed[:2], "little") % 60000
    return b"KL42" + pseudo_random_bytes(relative, size)


def all_files():
    """Relative paths ('/' separated) of every file in writing order."""
    paths = list(ROOT_FILES)
    for folder, files, subfolders in TREE:
        paths += [f"{folder}/{name}" for name in files]
        for subfolder, subfiles in subfolders.items():
            paths += [f"{folder}/{subfolder}/{name}" for name in subfiles]
    return paths


def all_folders():
    folders = []
    for folder, _, subfolders in TREE:
        folders.append(folder)
        folders += [f"{folder}/{subfolder}" for subfolder in subfolders]
    return folders


def remove_tree(path):
    def make_writable_and_retry(function, failed_path, _):
        os.chmod(failed_path, stat.S_IRWXU)
        function(failed_path)
    shutil.rmtree(path, onerror=make_writable_and_retry)


def main(argv):
    if len(argv) != 2 or argv[1] in ("-h", "--help"):
        sys.stderr.write(__doc__)
        return 2 if len(argv) != 2 else 0
    output = argv[1]
    if os.path.lexists(output):
        remove_tree(output)
    os.makedirs(output)
    files = all_files()
    folders = all_folders()
    assert len(files) == 125 and len(folders) == 13, "the sample's shape is fixed"
    for folder in folders:
        os.makedirs(os.path.join(output, folder))
    for number, relative in enumerate(files):
        path = os.path.join(output, relative)
        with open(path, "wb") as out:
            out.write(content_of(relative))
        stamp = BASE_TIME + 60 * number
        os.utime(path, (stamp, stamp))
        # Read-only as on a pressed disc: Windows then reports read-only + archive (0x21).
        os.chmod(path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    # Folders keep their write permission so that a build tree can be cleaned;
    # the listing check compares folders by name only.
    for number, folder in enumerate(reversed(folders)):
        stamp = BASE_TIME - 3600 + 60 * number
        os.utime(os.path.join(output, folder), (stamp, stamp))
    os.utime(output, (BASE_TIME - 7200, BASE_TIME - 7200))
    print(f"{output}: {len(folders)} folders, {len(files)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
