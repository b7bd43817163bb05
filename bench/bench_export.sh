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

"$root/scripts/install-deps.sh" dict-freedict-eng-deu
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

python3 "$root/bench/export_table.py" "$work/results" "$synthetic"
