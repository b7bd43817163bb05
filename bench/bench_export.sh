#!/usr/bin/env bash
# Times whole exports through the stand-in host under Wine, by six ways of reading the articles:
# the read buffer as the plug-in sizes it, the same bounded to 16, 32 and 64 MiB by a host that
# refuses larger pieces, the whole list in one buffer of up to 512 MiB, and one seek and one read
# per article. A synthetic dictionary of 10^6 articles (about 1.5 GB of them) and a real
# dictionary from Debian's packages, each way beside its job floor, what an export reading that
# way must cost, measured by the host under Wine: a sequential copy of the same output bytes (the
# best of three), one gather of the dictionary's size order into 1 MiB blocks (each the median
# of its measurements beside the dictionary's runs), the export's own ordering, the fresh memory
# the export took and what it read beyond one pass over the article file, both at the platform's
# measured prices. With them the reads each way makes, the bytes it reads against the article
# file's size, and whether every way wrote the same bytes; then the reader alone, each way, with
# the bytes it copied itself. Then the literal exchange sort, extrapolated, and what the platform
# charges for fresh pages, a pass over a cached file and one seek and one read. Then the real
# dictionary once more, cold: its article file dropped from the system's page cache before each
# export, beside a cold copy of that file (needs root to drop the cache; elsewhere those rows
# are skipped, saying so). Every way runs the benchmarks' build of the plug-in, bench/ZAQ.ZAQ:
# the product's code with one more export, for the fixed bound. Needs about 6 GB of free disk in
# /var/tmp.
# Runs the 32-bit build where this machine runs 32-bit programs, else the 64-bit one (ZAQ_BUILD
# chooses on purpose), and says which.
set -euo pipefail
source "$(dirname "$0")/../scripts/build-kind.sh"
root=$zaq_root
synthetic=${SYNTHETIC_ARTICLES:-1000000}
real_index=/usr/share/dictd/freedict-eng-deu.index

"$root/scripts/install-deps.sh"
if [ ! -f "$real_index" ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dict-freedict-eng-deu >/dev/null
fi
zaq_choose_build
"$root/scripts/build.sh" "$ZAQ_BUILD" >/dev/null
build=$(zaq_build_dir "$ZAQ_BUILD")
echo "Measuring $ZAQ_BUILD_WHY; $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)."

work=$(mktemp -d /var/tmp/zaq-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
plugin=$(windows_path "$build/bench/ZAQ.ZAQ")

# Each dictionary by every way of reading. Plain runs, for the total, the ordering and the job
# floor's parts, go in the order A B C ... C B A, and the faster of each pair counts: the first export of
# a series was seen to take up to 20% longer, whichever way it read. Then one run each way with
# the plug-in's file calls timed, for the split between reading and writing. Every output's
# SHA-256 is kept, to see that all ways wrote the same bytes.
ways=(default 16MiB 32MiB 64MiB whole per-article)
way_options() {
  case $1 in
    16MiB) echo --read-buffer-limit $((16 << 20)) ;;
    32MiB) echo --read-buffer-limit $((32 << 20)) ;;
    64MiB) echo --read-buffer-limit $((64 << 20)) ;;
    whole) echo --read-buffer-bound $((512 << 20)) ;;
    per-article) echo --read-buffer-limit 0 ;;
  esac
}

export_once() { # export_once NAME WAY KIND MEASURE-OPTION DICTIONARY-OPTIONS...
  local name=$1 path=$2 kind=$3 option=$4
  shift 4
  # shellcheck disable=SC2046 # the way's options are words
  "$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto --plugin "$plugin" "$@" $(way_options "$path") $option \
    --file "$(windows_path "$work/$name.txt")" | sed -n "s/^\(measure\|copy-floor\|job-floor\): /$name $path $kind \1 /p"
  echo "sha $name $path $(sha256sum "$work/$name.txt" | cut -c1-16)"
  rm -f "$work/$name.txt"
  sync # what this run wrote is not left to slow down the next
}

measure() {
  local name=$1 path i
  shift
  for i in 0 1 2 3 4 5 5 4 3 2 1 0; do
    export_once "$name" "${ways[$i]}" plain "--measure --copy-floor" "$@"
  done
  for path in "${ways[@]}"; do
    export_once "$name" "$path" calls --measure-calls "$@"
  done
  # The windows and the bytes read, each way, by the reader alone over the same dictionary.
  "$root/scripts/with-wine.sh" wine "$build/bench/bench_reading.exe" "$@" | tr -d '\r' | sed "s/^reading /reading $name /"
}

drop_caches() { sync && echo 3 >/proc/sys/vm/drop_caches; }

# The first export after a restart: the host keeps its article file at a path of ours, made by a
# first run, and every later run opens it as it is; the page cache is dropped before each export
# and before a timed sequential copy of the same file.
measure_cold() {
  local name=$1 kept=$work/articles.bin path start
  shift
  if ! drop_caches 2>/dev/null; then
    echo "cold skipped: cannot drop the page cache here (it needs root and a writable /proc/sys/vm/drop_caches)"
    return 0
  fi
  "$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto --plugin "$plugin" "$@" --article-file "$(windows_path "$kept")" --cancel >/dev/null
  for path in default 16MiB per-article; do
    drop_caches
    export_once "$name" "$path" cold --measure "$@" --article-file "$(windows_path "$kept")"
  done
  drop_caches
  start=$(date +%s.%N)
  dd if="$kept" of="$work/copy.bin" bs=1M status=none
  echo "cold-floor $(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { print end - start }') $(stat -c %s "$kept")"
  rm -f "$work/copy.bin" "$kept"
}

{
  measure synthetic --synthetic "$synthetic"
  measure freedict-eng-deu --dict "$(windows_path "$real_index")"
  measure_cold freedict-eng-deu --dict "$(windows_path "$real_index")"
  echo "exchange 50000 $("$root/scripts/with-wine.sh" wine "$build/bench/bench_size_order.exe" --exchange 50000 | tr -d '\r')"
  echo "platform $("$root/scripts/with-wine.sh" wine "$build/bench/bench_platform.exe" "$(windows_path "$work/platform.bin")" 149 | tr -d '\r')"
} > "$work/results"
cp "$work/results" "$build/bench/export-results.txt" # the raw lines, for a second look

python3 - "$work/results" "$synthetic" <<'PY'
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
PY
