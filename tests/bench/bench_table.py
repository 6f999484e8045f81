#!/usr/bin/env python3
"""The checks and the cipher beside their anchors, in one run, as one table.

Each row times mediakit (release) and its anchor in the same run, warm cache,
as the median of alternating runs, and says whether the row's goal is met.
The trees are made here, from a seed, in a scratch folder that keeps them
between runs. Prints the table and writes it as Markdown (--report).
"""
import argparse
import hashlib
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

MIB = 1 << 20

# name: (files, folders, smallest and largest size); quick mode has a hundredth of the files.
TREES = {
    "content": (10_000, 100, 0, 25_400),  # about 127 MB
    "small": (20_000, 20, 0, 1_000),
    "flat": (20_000, 1, 0, 100),
    "tiny": (50, 5, 0, 4_000),
}


def make_tree(root, files, folders, smallest, largest, seed):
    rng = random.Random(seed)
    for i in range(files):
        folder = root / (f"Folder{i % folders:03d}" if folders > 1 else "")
        folder.mkdir(parents=True, exist_ok=True)
        (folder / f"file{i:05d}.dat").write_bytes(rng.randbytes(rng.randint(smallest, largest)))


def md5sum_list(manifest, out):
    """The manifest's rows ("\\path<TAB>DIGEST") as md5sum -c reads them."""
    with open(manifest, encoding="latin-1", newline="") as rows, open(out, "w") as sums:
        for row in rows:
            path, digest = row.rstrip("\r\n").split("\t")
            sums.write(f"{digest.lower()}  {path[1:].replace(chr(92), '/')}\n")


class Bench:
    def __init__(self, args):
        self.mediakit = str(Path(args.mediakit).resolve())
        self.scratch = Path(args.scratch).resolve()
        self.quick = args.quick
        self.runs = args.runs
        self.budget = args.budget
        self.limit = args.limit
        self.medians = []
        self.scratch.mkdir(parents=True, exist_ok=True)

    def mk(self, *argv):
        subprocess.run([self.mediakit, *map(str, argv)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def tree(self, name):
        """The tree, its listing, its manifest and the manifest as md5sum reads it; made once."""
        root = self.scratch / name
        done = self.scratch / f"{name}.done"
        files, folders, smallest, largest = TREES[name]
        if self.quick:
            files, folders = max(files // 100, 4), max(folders // 5, 1)
        if not done.exists():
            shutil.rmtree(root, ignore_errors=True)
            make_tree(root, files, folders, smallest, largest, seed=len(name))
            self.mk("listing", "build", root, "-o", f"{root}.listing")
            self.mk("manifest", "build", root, "-o", f"{root}.md5")
            md5sum_list(f"{root}.md5", f"{root}.md5sum")
            with open(f"{root}.hashdeep", "w") as known:
                subprocess.run(["hashdeep", "-c", "md5", "-r", "-l", "."], cwd=root, check=True, stdout=known)
            with open(f"{root}.mtree", "w") as description:
                subprocess.run(["mtree", "-c", "-k", "type,size,mode", "-p", root], check=True, stdout=description)
            size = sum(f.stat().st_size for f in root.rglob("*") if f.is_file())
            done.write_text(f"{files} {folders} {size}\n")
        return root

    def describe(self, name):
        files, folders, size = map(int, (self.scratch / f"{name}.done").read_text().split())
        where = "one folder" if folders == 1 else f"{folders:,} folders"
        return f"{files:,} files / {size / 1e6:.0f} MB in {where}" if size > 1e6 else f"{files:,} files in {where}"

    def large_manifest(self):
        """The tiny tree's manifest with rows of files not on the disc, a million rows in all."""
        tiny = self.tree("tiny")
        path = self.scratch / "large.md5"
        rows = 2_000 if self.quick else 1_000_000
        if not path.exists():
            own = Path(f"{tiny}.md5").read_bytes()
            with open(f"{path}.part", "wb") as out:
                out.write(own)
                for i in range(rows - own.count(b"\n")):
                    digest = hashlib.md5(i.to_bytes(4, "little")).hexdigest().upper()
                    out.write(f"\\Gone{i % 1000:03d}\\item{i:07d}.dat\t{digest}\r\n".encode())
            os.replace(f"{path}.part", path)
        return tiny, path, rows

    def run(self, argv, cwd=None, memory=False):
        """Seconds (None when stopped at the time limit) and, when asked, peak memory (MiB) of one
        process. The peak comes from /usr/bin/time: a child's own rusage would count this
        interpreter's memory too, since Linux keeps the peak of the image a process replaced."""
        peakFile = self.scratch / "peak.txt"
        timer = ["/usr/bin/time", "-f", "%M", "-o", peakFile] if memory else []
        begin = time.perf_counter()
        child = subprocess.Popen(list(map(str, timer + argv)), cwd=cwd, stdout=subprocess.DEVNULL)
        limit = threading.Timer(self.limit, stop, (child.pid, memory))
        limit.start()
        status = child.wait()
        limit.cancel()
        seconds = time.perf_counter() - begin
        peak = int(peakFile.read_text().split()[-1]) / 1024 if memory else None
        if seconds >= self.limit:
            return None, peak
        if status != 0:
            raise RuntimeError(f"exit {status}: {' '.join(map(str, argv))}")
        return seconds, peak

    def pair(self, *sides, cwd=None, memory=False):
        """Median seconds and peak MiB of each side, alternating, after a warm-up of each; a side
        slower than the budget is measured by its warm-up alone, so a slow row costs no minutes."""
        warm = [self.run(argv, cwd, memory) for argv in sides]
        if any(t is None or t > self.budget / 2 for t, _ in warm):
            return [(Seconds(t, 1) if t is not None else None, p) for t, p in warm]
        times, peaks = [[] for _ in sides], [0.0 for _ in sides]
        start = time.perf_counter()
        while len(times[0]) < self.runs and (not times[0] or time.perf_counter() - start < self.budget):
            for i, argv in enumerate(sides):
                seconds, peak = self.run(argv, cwd, memory)
                times[i].append(seconds)
                peaks[i] = max(peaks[i], peak or 0)
        return [(None if None in t else Seconds(statistics.median(t), len(t)), p) for t, p in zip(times, peaks)]

    def seconds(self, value):
        if value is None:
            return f"> {self.limit:g} s (stopped)"
        text = f"{value:.3f} s" if value >= 0.01 else f"{value * 1000:.2f} ms"
        runs = getattr(value, "runs", self.runs)
        return text if runs >= self.runs else f"{text} ({runs} run{'s' if runs > 1 else ''})"


class Seconds(float):
    """A median, and how many runs it was taken from."""

    def __new__(cls, value, runs):
        median = super().__new__(cls, value)
        median.runs = runs
        return median


def stop(pid, timed):
    """Ends a run at the time limit; under /usr/bin/time, only the program, so its peak is still told."""
    children = Path(f"/proc/{pid}/task/{pid}/children").read_text().split() if timed else [pid]
    for child in children:
        os.kill(int(child), signal.SIGKILL)


def row(work, ours, anchor="–", ratio="–", goal="–", met="–"):
    return [work, ours, anchor, ratio, goal, met]


def ratio_row(bench, work, ours, anchor, anchor_name, limit=None):
    """A row whose goal is ours / anchor at most limit; without a limit, for information."""
    ratio = ours / anchor if ours is not None and anchor else None
    goal, met = ("report only", "–") if limit is None else (f"≤ {limit:.2f}×", verdict(ratio is not None and ratio <= limit))
    return row(work, bench.seconds(ours), f"{anchor_name} {bench.seconds(anchor)}",
               "–" if ratio is None else f"{ratio:.2f}×", goal, met)


def verdict(ok):
    return "met" if ok else "not met"


def measure(bench, args):
    mk = bench.mediakit
    rows = []
    for name in ("content", "small"):
        tree = bench.tree(name)
        (t, _), (a, _) = bench.pair([mk, "verify", tree, "--manifest", f"{tree}.md5", "--quiet"],
                                    ["hashdeep", "-c", "md5", "-r", "-a", "-l", "-k", f"{tree}.hashdeep", "."], cwd=tree)
        bench.medians.append(t)
        rows.append(ratio_row(bench, f"content check, {bench.describe(name)}", t, a, "`hashdeep -c md5 -r -a -k`", 0.75))
        (t, _), (a, _) = bench.pair([mk, "verify", tree, "--manifest", f"{tree}.md5", "--quiet"],
                                    ["md5sum", "--quiet", "-c", f"{tree}.md5sum"], cwd=tree)
        rows.append(ratio_row(bench, f"content check, {bench.describe(name)}", t, a, "`md5sum -c`"))

    for name in ("content", "small"):
        tree = bench.tree(name)
        (t, _), (a, _) = bench.pair([mk, "verify", tree, "--listing", f"{tree}.listing", "--quiet"],
                                    ["mtree", "-f", f"{tree}.mtree", "-p", tree])
        rows.append(ratio_row(bench, f"listing check, {bench.describe(name)}", t, a, "`mtree -f` (type,size,mode)", 1.0))
    tree = bench.tree("content")
    (t, _), (a, _) = bench.pair([mk, "verify", tree, "--listing", f"{tree}.listing", "--quiet"],
                                ["find", tree, "-printf", r"%p %s %m\n"])
    rows.append(ratio_row(bench, f"listing check, {bench.describe('content')}", t, a, "`find -printf '%p %s %m'`"))

    flat, folders = bench.tree("flat"), bench.tree("small")
    for check, data in (("listing", "listing"), ("content", "md5")):
        (t, _), (a, _) = bench.pair([mk, "verify", flat, f"--{check if check == 'listing' else 'manifest'}",
                                     f"{flat}.{data}", "--quiet"],
                                    [mk, "verify", folders, f"--{check if check == 'listing' else 'manifest'}",
                                     f"{folders}.{data}", "--quiet"])
        rows.append(ratio_row(bench, f"{check} check, {bench.describe('flat')} (ours) vs {bench.describe('small')} (anchor)",
                              t, a, "ours", 1.5))

    tiny, manifest, count = bench.large_manifest()
    ((t, peak),) = bench.pair([mk, "verify", tiny, "--manifest", manifest, "--quiet"], memory=True)
    rows.append(row(f"{count:,}-row manifest against a small tree (`verify`)", f"{bench.seconds(t)}, {peak:.0f} MiB",
                    goal="≤ 1 s, ≤ 150 MiB", met=verdict(t is not None and t <= 1 and peak <= 150)))

    size = MIB if bench.quick else 64 * MIB
    data = bench.scratch / "cipher.bin"
    data.write_bytes(random.Random(64).randbytes(size))
    try:
        (t, _), (a, _) = bench.pair([mk, "crypt", "encrypt", "--range", "0,-1", "--pass", "x", data],
                                    ["openssl", "enc", "-aes-256-ctr", "-K", "00" * 32, "-iv", "00" * 16,
                                     "-in", data, "-out", bench.scratch / "cipher.out"])
    finally:
        data.unlink()
        (bench.scratch / "cipher.out").unlink(missing_ok=True)
    throughput = a / t if t is not None else None
    rows.append(row(f"cipher, {size // MIB} MiB in place (`crypt encrypt --range 0,-1`)",
                    f"{bench.seconds(t)}" + (f", {size / MIB / t:.0f} MiB/s" if t else ""),
                    f"`openssl enc -aes-256-ctr` {bench.seconds(a)}, {size / MIB / a:.0f} MiB/s",
                    "–" if throughput is None else f"{throughput:.2f}× the throughput", "≥ 0.25×",
                    verdict(throughput is not None and throughput >= 0.25)))

    rows.append(large_file_row(bench))
    rows.append(dll_row(bench, args))
    return rows


def large_file_row(bench):
    """A sparse file, so a gibibyte costs no disk; its manifest is kept, the file is not."""
    size = (8 if bench.quick else 1024) * MIB
    tree = bench.scratch / "large-file"
    manifest = bench.scratch / "large-file.md5"
    tree.mkdir(exist_ok=True)
    with open(tree / "large.bin", "wb") as f:
        f.truncate(size)
    try:
        if not manifest.exists():
            bench.mk("manifest", "build", tree, "-o", manifest)
        t, peak = bench.run([bench.mediakit, "verify", tree, "--manifest", manifest, "--quiet"], memory=True)
    finally:
        (tree / "large.bin").unlink()
    return row(f"peak memory, content check of a {size // MIB} MiB file", f"{peak:.0f} MiB ({bench.seconds(t)})",
               goal="≤ 80 MiB", met=verdict(t is not None and peak <= 80))


def dll_row(bench, args):
    """CheckContentOfItems of the win64 library, built with the tree's data, timed inside its process."""
    label = f"content check, {bench.describe('content')}: `CheckContentOfItems` (win64, Wine)"
    if not args.win64:
        return row(label, "not run (no --win64)", goal="report only")
    tree, build = bench.tree("content"), Path(args.win64).resolve()
    source = Path(__file__).resolve().parents[2]
    dll = subprocess.run([source / "tools/build_with_data.sh", "win64", build, f"{tree}.listing", f"{tree}.md5"],
                         check=True, capture_output=True, text=True).stdout.strip()
    subprocess.run(["cmake", "--build", build, "--target", "dll_check_timer"], check=True, stdout=subprocess.DEVNULL)
    windows_tree = "Z:" + str(tree).replace("/", "\\") + "\\"
    out = subprocess.run([source / "cmake/wine-run.sh", "--prefix", build / "wineprefix",
                          build / "bin/dll_check_timer.exe", dll, windows_tree, str(bench.runs), str(bench.budget)],
                         check=True, capture_output=True, text=True).stdout
    # The first run warms the cache; it stands alone when the check is slower than the budget.
    times = [float(line.split()[0]) for line in out.splitlines()]
    t = Seconds(statistics.median(times[1:] or times), len(times[1:] or times))
    ours = bench.medians[0]
    return row(label, bench.seconds(t), f"`mediakit verify --manifest` {bench.seconds(ours)}",
               f"{t / ours:.2f}×" if ours else "–", "report only")


def markdown(rows, note):
    header = ["Work", "Ours", "Anchor", "Ratio", "Goal", "Met"]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(r) + " |" for r in rows]
    return "\n".join(lines) + "\n\n" + note + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mediakit", required=True, help="the mediakit program to time (a release build)")
    parser.add_argument("--scratch", required=True, help="folder for the trees, kept between runs")
    parser.add_argument("--report", required=True, help="Markdown file to write the table to")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each side (default 5)")
    parser.add_argument("--budget", type=float, default=20,
                        help="seconds after which a row stops repeating, so a slow side costs no minutes (default 20)")
    parser.add_argument("--limit", type=float, default=60,
                        help="seconds after which a run is stopped and told as slower than that (default 60)")
    parser.add_argument("--quick", action="store_true", help="tiny trees, for a smoke run")
    parser.add_argument("--win64", metavar="FOLDER",
                        help="build folder for the win64 library with the first tree's data; adds its row under Wine")
    args = parser.parse_args()
    bench = Bench(args)
    rows = measure(bench, args)
    note = (f"mediakit {bench.mediakit}; medians of up to {bench.runs} alternating runs after a warm-up, "
            f"a row repeats for {args.budget:.0f} s at most; {time.strftime('%Y-%m-%d %H:%M')}"
            + (" (quick: tiny trees)" if bench.quick else ""))
    table = markdown(rows, note)
    Path(args.report).parent.mkdir(parents=True, exist_ok=True)
    Path(args.report).write_text(table)
    print(table, end="")
    print(f"written to {args.report}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
