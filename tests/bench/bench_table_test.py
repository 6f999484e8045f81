#!/usr/bin/env python3
"""bench_table.py end to end on tiny trees: every row measured, the table well formed.
   bench_table_test.py MEDIAKIT"""
import subprocess
import sys
import tempfile
from pathlib import Path

HEADER = "| Work | Ours | Anchor | Ratio | Goal | Met |"
# The first words of each row, in order, and whether it has a goal to meet.
ROWS = [("content check,", True), ("content check,", False), ("content check,", True), ("content check,", False),
        ("listing check,", True), ("listing check,", True), ("listing check,", False),
        ("listing check,", True), ("content check,", True), ("2,000-row manifest", True), ("cipher,", True),
        ("peak memory,", True), ("content check,", False)]


def main():
    with tempfile.TemporaryDirectory() as scratch:
        report = Path(scratch) / "report.md"
        subprocess.run([sys.executable, Path(__file__).with_name("bench_table.py"), "--quick", "--runs", "2",
                        "--mediakit", sys.argv[1], "--scratch", scratch, "--report", report], check=True,
                       stdout=subprocess.DEVNULL)
        lines = report.read_text().splitlines()
    failures = []
    if lines[:2] != [HEADER, "|---|---|---|---|---|---|"]:
        failures.append(f"header: {lines[:2]}")
    rows = [line for line in lines[2:] if line.startswith("|")]
    if len(rows) != len(ROWS):
        failures.append(f"{len(rows)} rows, expected {len(ROWS)}")
    for line, (start, hasGoal) in zip(rows, ROWS):
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if len(cells) != 6 or not all(cells) or not cells[0].startswith(start):
            failures.append(f"malformed row: {line}")
        elif hasGoal != (cells[5] in ("met", "not met")) or (hasGoal and "s" not in cells[1]):
            failures.append(f"row without a measure or a verdict: {line}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
