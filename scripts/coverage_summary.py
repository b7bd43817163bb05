#!/usr/bin/env python3
"""Sums gcov's JSON counts per source of src/: lines run and branches taken, one row a file.

Usage: coverage_summary.py JSON-FOLDER SOURCE-ROOT (run by coverage.sh)."""
import glob, gzip, json, os, sys
folder, source_root = sys.argv[1], sys.argv[2]
lines, branches = {}, {}  # per source: line -> executed; (line, branch index) -> taken
for path in glob.glob(os.path.join(folder, "*.gcov.json.gz")):
    for entry in json.load(gzip.open(path))["files"]:
        name = os.path.normpath(entry["file"])
        if not name.startswith(source_root):
            continue
        name = name[len(source_root):]
        seen, taken = lines.setdefault(name, {}), branches.setdefault(name, {})
        for line in entry["lines"]:
            number = line["line_number"]
            seen[number] = seen.get(number, False) or line["count"] > 0
            for index, branch in enumerate(line.get("branches", [])):
                taken[(number, index)] = taken.get((number, index), False) or branch["count"] > 0
print(f"{'source':<44} {'lines':>16} {'branches taken':>18}")
for name in sorted(lines):
    seen, taken = lines[name], branches[name]
    line_share = f"{sum(seen.values())}/{len(seen)} {100 * sum(seen.values()) / max(len(seen), 1):3.0f}%"
    branch_share = (f"{sum(taken.values())}/{len(taken)} {100 * sum(taken.values()) / len(taken):3.0f}%"
                    if taken else "none")
    print(f"{name:<44} {line_share:>16} {branch_share:>18}")
