#!/usr/bin/env bash
# The main job: installs what is missing, builds, runs the stand-in host on the bundled sample
# dictionary through the real dialog, and shows the head of the exported file and a screenshot.
# It runs the 32-bit build where this machine runs 32-bit programs, else the 64-bit build of the
# same sources (ZAQ_BUILD=64 chooses that on purpose).
set -euo pipefail
zaq_script=demo.sh
source "$(dirname "$0")/build-kind.sh"
source "$zaq_root/scripts/run-guard.sh"

zaq_install_and_build
build=$(zaq_build_dir "$ZAQ_BUILD")
out=$build/demo
mkdir -p "$out"
rm -f "$out/sortsize.txt" "$out/dialog.png"

# Wine sees the Unix root as drive Z:.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

echo "== Running $ZAQ_BUILD_WHY."
echo "== The stand-in host runs $build/ZAQ.ZAQ on the sample dictionary; its journal:"
zaq_run "$zaq_root/scripts/with-wine.sh" wine "$build/standin.exe" --auto --strip-tags \
  --file "$(windows_path "$out/sortsize.txt")" --screenshot "$(windows_path "$out/dialog.png")"

echo
echo "== $out/sortsize.txt, first 30 lines, converted from UTF-16LE to UTF-8:"
iconv -f UTF-16 -t UTF-8 "$out/sortsize.txt" | head -n 30
echo
echo "== The dialog as it appeared: $out/dialog.png"
