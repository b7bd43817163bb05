#!/usr/bin/env bash
# Times whole exports through the stand-in host under Wine: a synthetic dictionary of 10^6
# articles and a real dictionary from Debian's packages, beside the copy floor (a sequential
# copy of the same bytes by the host under Wine) and the literal exchange sort, extrapolated.
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

# Each dictionary twice: once plain for the total, the ordering and the copy floor; once with
# the plug-in's file calls timed, for the split between reading and writing.
measure() {
  local name=$1; shift
  "$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto "$@" --measure --copy-floor \
    --file "$(windows_path "$work/$name.txt")" | sed -n "s/^\(measure\|copy-floor\): /$name plain \1 /p"
  rm -f "$work/$name.txt"
  "$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto "$@" --measure-calls \
    --file "$(windows_path "$work/$name.txt")" | sed -n "s/^measure: /$name calls measure /p"
  rm -f "$work/$name.txt"
}

{
  measure synthetic --synthetic "$synthetic"
  measure freedict-eng-deu --dict "$(windows_path "$real_index")"
  echo "exchange 50000 $("$root/scripts/with-wine.sh" wine "$build/bench/bench_size_order.exe" --exchange 50000 | tr -d '\r')"
} > "$work/results"

python3 - "$work/results" "$synthetic" <<'PY'
import sys
rows = {}
exchange = None
for line in open(sys.argv[1]):
    words = line.split()
    if words[0] == "exchange":
        exchange = (int(words[1]), float(words[2]))
        continue
    name, run, kind = words[:3]
    values = dict(w.split("=", 1) for w in words[3:])
    rows.setdefault(name, {}).setdefault(run, {}).update({kind + ":" + k: v for k, v in values.items()})

print(f"{'dictionary':<18} {'articles':>9} {'MB out':>8} {'total s':>8} {'order s':>13} {'read s':>7} "
      f"{'write s':>8} {'copy s':>7} {'x copy':>7} {'plug-in MB':>10}")
for name, runs in rows.items():
    plain, calls = runs["plain"], runs["calls"]
    total = float(plain["measure:total"])
    copy = float(plain["copy-floor:seconds"])
    print(f"{name:<18} {int(plain['measure:articles']):>9} {int(plain['measure:bytes']) / 1e6:>8.1f} {total:>8.3f} "
          f"{plain['measure:ordering'] + ' / ' + calls['measure:ordering']:>13} {float(calls['measure:reading']):>7.3f} "
          f"{float(calls['measure:writing']):>8.3f} {copy:>7.3f} {total / copy:>7.2f} "
          f"{int(plain['measure:plugin-peak-bytes']) / 1e6:>10.1f}")
n, seconds = exchange
articles = int(sys.argv[2])
print("\norder s: the ordering inside the plug-in in each of the two runs; read s and write s: time in\n"
      "the plug-in's file calls (seek and read; create, write and close) in the second run.")
print(f"exchange sort: {seconds:.3f} s for {n} spans, so about {seconds * (articles / n) ** 2:.0f} s "
      f"for {articles} (n^2)")
PY
