#!/usr/bin/env bash
# Installs what is missing, builds both builds, and runs every test under Wine; exits non-zero on
# any failure. Where this machine runs 32-bit programs, the 32-bit suite and the 64-bit suite both
# run; where it does not (or ZAQ_BUILD=64 asks), the 64-bit suite, which also checks the 32-bit
# DLL's image as a file.
set -euo pipefail
source "$(dirname "$0")/build-kind.sh"

"$zaq_root/scripts/install-deps.sh"
"$zaq_root/scripts/build.sh"
zaq_choose_build

suite() {
  echo "== The $1-bit suite"
  ZAQ_BUILD=$1 "$zaq_root/scripts/with-wine.sh" \
    ctest --test-dir "$(zaq_build_dir "$1")" --output-on-failure --timeout 300 -j2
}

if [ "$ZAQ_BUILD" = 64 ]; then
  echo "Testing $ZAQ_BUILD_WHY. The 32-bit DLL is built and its image checked; its behaviour is tested through the 64-bit build of the same sources."
  suite 64
else
  echo "Testing $ZAQ_BUILD_WHY; the 64-bit build's suite runs as well."
  suite 32
  suite 64
fi
