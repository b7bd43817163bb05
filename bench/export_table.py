#!/usr/bin/env python3
"""Turns bench_export.sh's raw result lines into its tables: each way beside its job floor, the
bytes every way wrote, the reader alone, the cold runs, the exchange sort and the platform's prices.

Usage: export_table.py RESULTS-FILE SYNTHETIC-ARTICLES (run by bench_export.sh)."""
import statistics
import sys
rows = {}
floors = {}
exchange = None
platform = None
cold_floor = None
cold_skipped = None
hashes = {}
reading = {}
for line in open(sys.argv[1]):
    words = line.split()
    if words[0] == "sha":
        hashes.setdefault(words[1], set()).add(words[3])
        continue
    if words[0] == "reading":
        values = dict(w.split("=", 1) for w in words[2:])
        reading[(words[1], values["way"])] = values
        continue
    if words[0] == "cold":
        cold_skipped = line.strip()
        continue
    if words[0] == "cold-floor":
        cold_floor = (float(words[1]), int(words[2]))
        continue
    if words[0] == "exchange":
        exchange = (int(words[1]), float(words[2]))
        continue
    if words[0] == "platform":
        platform = dict(w.split("=", 1) for w in words[1:])
        continue
    name, path, run, kind = words[:4]
    values = dict(w.split("=", 1) for w in words[4:])
    if kind in ("copy-floor", "job-floor"):
        # The job floor's parts do not depend on the way of reading: each is measured beside every
        # plain run of the dictionary, and the median of those counts.
        parts = floors.setdefault(name, {})
        for part, key in (("copy", "seconds"), ("gather", "gather"), ("touch", "touch")):
            if key in values:
                parts.setdefault(part, []).append(float(values[key]))
        continue
    runs = rows.setdefault((name, path), {})
    if kind == "measure" and run in runs and "measure:total" in runs[run]:
        # A later plain run: the fastest one counts.
        if float(values["total"]) >= float(runs[run]["measure:total"]):
            continue
        runs[run] = {}
    runs.setdefault(run, {}).update({kind + ":" + k: v for k, v in values.items()})

fresh_per_byte = float(platform["fresh-page-ms-per-mib"]) / 1000 / (1 << 20)
pass_per_byte = float(platform["pass-seconds"]) / (float(platform["pass-mib"]) * (1 << 20))
print(f"{'dictionary':<18} {'reading':<12} {'articles':>9} {'MB out':>8} {'total s':>8} {'order s':>13} "
      f"{'read s':>7} {'write s':>8} {'copy s':>7} {'gather s':>8} {'fresh s':>7} {'reread s':>8} {'job s':>6} "
      f"{'x job':>6} {'x best':>6} {'peak MB':>8} {'reads':>8} {'read/file':>9}")
summary = []
for name in dict.fromkeys(n for n, _ in rows):
    file_bytes = int(reading[(name, "default")]["file-bytes"])
    totals = {path: float(runs["plain"]["measure:total"]) for (n, path), runs in rows.items()
              if n == name and "plain" in runs}
    for (n, path), runs in rows.items():
        if n != name or "plain" not in runs:
            continue
        plain, calls = runs["plain"], runs["calls"]
        total = totals[path]
        best_other = max(1e-9, min(t for p, t in totals.items() if p != path))
        copy, gather = (statistics.median(floors[name][part]) for part in ("copy", "gather"))
        peak = int(plain["measure:plugin-peak-bytes"])
        read_bytes = int(plain["measure:read-bytes"])
        # The honest floor of this way: what its own memory and its own reading cost at the
        # platform's prices, beside the copy, the gather and the ordering any export needs.
        fresh = peak * fresh_per_byte
        reread = max(0, read_bytes - file_bytes) * pass_per_byte
        job = copy + gather + float(plain["measure:ordering"]) + fresh + reread
        if total < job:
            summary.append(f"{name} {path}: BELOW ITS FLOOR ({total:.3f} s against {job:.3f} s): the floor is wrong")
        if path == "default":
            summary.append(f"{name}: default over the fastest other way {total / best_other:.2f}, "
                           f"over its job floor {total / job:.2f}")
        print(f"{name:<18} {path:<12} {int(plain['measure:articles']):>9} {int(plain['measure:bytes']) / 1e6:>8.1f} "
              f"{total:>8.3f} {plain['measure:ordering'] + ' / ' + calls['measure:ordering']:>13} "
              f"{float(calls['measure:reading']):>7.3f} {float(calls['measure:writing']):>8.3f} {copy:>7.3f} "
              f"{gather:>8.3f} {fresh:>7.3f} {reread:>8.3f} {job:>6.3f} {total / job:>6.2f} {total / best_other:>6.2f} "
              f"{peak / 1e6:>8.1f} {plain['measure:reads']:>8} {read_bytes / file_bytes:>9.2f}")
print()
for line in summary:
    print(line)
print()
for name, seen in hashes.items():
    print(f"{name}: " + ("every way wrote the same bytes" if len(seen) == 1 else
                         f"THE WAYS WROTE DIFFERENT BYTES: {' '.join(sorted(seen))}"))
for (name, path), values in reading.items():
    if path == "default":
        print(f"{name}: article file {int(values['file-bytes']) / 1e6:.1f} MB; the reader alone, each way "
              "(windows, reads, MB read, bytes copied per article byte, s): " + "; ".join(
                  f"{way} {v['windows']}, {v['reads']}, {int(v['bytes-read']) / 1e6:.1f}, "
                  f"{int(v['bytes-copied']) / int(v['file-bytes']):.3f}, {v['seconds']}"
                  for (n, way), v in reading.items() if n == name))
if cold_floor is not None:
    floor_seconds, floor_bytes = cold_floor
    print(f"\ncold: the article file dropped from the page cache before each export; cold copy: a sequential\n"
          f"copy of that article file ({floor_bytes / 1e6:.1f} MB) after dropping the cache, {floor_seconds:.3f} s")
    print(f"{'dictionary':<18} {'reading':<12} {'total s':>8} {'cold copy s':>12} {'x cold copy':>12}")
    for (name, path), runs in rows.items():
        if "cold" in runs:
            total = float(runs["cold"]["measure:total"])
            print(f"{name:<18} {path:<12} {total:>8.3f} {floor_seconds:>12.3f} {total / floor_seconds:>12.2f}")
elif cold_skipped:
    print("\n" + cold_skipped)
n, seconds = exchange
articles = int(sys.argv[2])
print("\nreading: default, through the read buffer as the plug-in sizes it; 16MiB, 32MiB and 64MiB,\n"
      "the same with the host refusing larger pieces; whole, the whole list in one buffer of up to\n"
      "512 MiB; per-article, one seek and one read each. order s: the ordering inside the plug-in in\n"
      "each of the two runs; read s and write s: time in the plug-in's file calls (seek and read;\n"
      "create, write and close) in the second run; copy s: the best of three sequential copies of the\n"
      "same output file by the host; gather s: one gather of the dictionary's size order from a buffer\n"
      "of the article file's size into 1 MiB blocks, by the host; each the median of its measurements\n"
      "beside the dictionary's plain runs; fresh s: the plug-in's peak memory at the platform's price\n"
      "for fresh pages; reread s: the bytes it read beyond one pass over the article file at the\n"
      "platform's price for a pass over a cached file; job s, the job floor of that way: copy, gather,\n"
      "the export's own ordering, fresh and reread; x job: total over it; x best: total over the\n"
      "fastest other way; reads: the plug-in's reads of the article file; read/file: the bytes they\n"
      "brought over the article file's size.")
print(f"exchange sort: {seconds:.3f} s for {n} spans, so about {seconds * (articles / n) ** 2:.0f} s "
      f"for {articles} (n^2)")
print(f"platform: fresh pages {platform['fresh-page-ms-per-mib']} ms per MiB; one pass over "
      f"{platform['pass-mib']} MiB of a cached file in 1 MiB reads {platform['pass-seconds']} s; "
      f"one seek and one read of 336 bytes {platform['seek-read-us']} us")
