#!/usr/bin/env bash
# The main job: installs what is missing, builds, runs the stand-in host on the bundled sample
# dictionary through the real dialog, and shows the head of the exported file and a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$build/demo

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" >/dev/null
mkdir -p "$out"
rm -f "$out/sortsize.txt" "$out/dialog.png"

# Wine sees the Unix root as drive Z:.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

echo "== The stand-in host runs ZAQ.ZAQ on the sample dictionary; its journal:"
"$root/scripts/with-wine.sh" wine "$build/standin.exe" --auto --strip-tags \
  --file "$(windows_path "$out/sortsize.txt")" --screenshot "$(windows_path "$out/dialog.png")"

echo
echo "== $out/sortsize.txt, first 30 lines, converted from UTF-16LE to UTF-8:"
iconv -f UTF-16 -t UTF-8 "$out/sortsize.txt" | head -n 30
echo
echo "== The dialog as it appeared: $out/dialog.png"
