#!/usr/bin/env bash
# Times whole exports through the stand-in host under Wine, by both ways of reading the articles:
# a synthetic dictionary of 10^6 articles and a real dictionary from Debian's packages, beside
# the copy floor (a sequential copy of the same bytes by the host under Wine), the literal
# exchange sort, extrapolated, and what the platform charges for fresh pages, a pass over a
# cached file and one seek and one read.
# Needs about 6 GB of free disk in /var/tmp.
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

# Each dictionary by both ways of reading: in offset order through the read buffer (as the
# plug-in does), and one seek and one read per article (the read buffer refused by the host).
# Each way twice: once plain for the total, the ordering and the copy floor; once with the
# plug-in's file calls timed, for the split between reading and writing.
measure() {
  local name=$1 path options
  shift
  for path in windowed per-article; do
    options=()
    [ "$path" = per-article ] && options=(--read-buffer-limit 0)
    "$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto "$@" "${options[@]}" --measure --copy-floor \
      --file "$(windows_path "$work/$name.txt")" | sed -n "s/^\(measure\|copy-floor\): /$name $path plain \1 /p"
    rm -f "$work/$name.txt"
    "$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto "$@" "${options[@]}" --measure-calls \
      --file "$(windows_path "$work/$name.txt")" | sed -n "s/^measure: /$name $path calls measure /p"
    rm -f "$work/$name.txt"
  done
}

{
  measure synthetic --synthetic "$synthetic"
  measure freedict-eng-deu --dict "$(windows_path "$real_index")"
  echo "exchange 50000 $("$root/scripts/with-wine.sh" wine "$build/bench/bench_size_order.exe" --exchange 50000 | tr -d '\r')"
  echo "platform $("$root/scripts/with-wine.sh" wine "$build/bench/bench_platform.exe" "$(windows_path "$work/platform.bin")" 149 | tr -d '\r')"
} > "$work/results"

python3 - "$work/results" "$synthetic" <<'PY'
import sys
rows = {}
exchange = None
platform = None
for line in open(sys.argv[1]):
    words = line.split()
    if words[0] == "exchange":
        exchange = (int(words[1]), float(words[2]))
        continue
    if words[0] == "platform":
        platform = dict(w.split("=", 1) for w in words[1:])
        continue
    name, path, run, kind = words[:4]
    values = dict(w.split("=", 1) for w in words[4:])
    rows.setdefault((name, path), {}).setdefault(run, {}).update({kind + ":" + k: v for k, v in values.items()})

print(f"{'dictionary':<18} {'reading':<12} {'articles':>9} {'MB out':>8} {'total s':>8} {'order s':>13} "
      f"{'read s':>7} {'write s':>8} {'copy s':>7} {'x copy':>7} {'plug-in MB':>10}")
for (name, path), runs in rows.items():
    plain, calls = runs["plain"], runs["calls"]
    total = float(plain["measure:total"])
    copy = float(plain["copy-floor:seconds"])
    print(f"{name:<18} {path:<12} {int(plain['measure:articles']):>9} {int(plain['measure:bytes']) / 1e6:>8.1f} "
          f"{total:>8.3f} {plain['measure:ordering'] + ' / ' + calls['measure:ordering']:>13} "
          f"{float(calls['measure:reading']):>7.3f} {float(calls['measure:writing']):>8.3f} {copy:>7.3f} "
          f"{total / copy:>7.2f} {int(plain['measure:plugin-peak-bytes']) / 1e6:>10.1f}")
n, seconds = exchange
articles = int(sys.argv[2])
print("\nreading: windowed, in offset order through the read buffer; per-article, one seek and one read\n"
      "each. order s: the ordering inside the plug-in in each of the two runs; read s and write s: time\n"
      "in the plug-in's file calls (seek and read; create, write and close) in the second run; copy s:\n"
      "a sequential copy of the same output file by the host, measured beside each plain run.")
print(f"exchange sort: {seconds:.3f} s for {n} spans, so about {seconds * (articles / n) ** 2:.0f} s "
      f"for {articles} (n^2)")
print(f"platform: fresh pages {platform['fresh-page-ms-per-mib']} ms per MiB; one pass over "
      f"{platform['pass-mib']} MiB of a cached file in 1 MiB reads {platform['pass-seconds']} s; "
      f"one seek and one read of 336 bytes {platform['seek-read-us']} us")
PY
