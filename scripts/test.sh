#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine; exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/scripts/with-wine.sh" ctest --test-dir "$build" --output-on-failure --timeout 300 -j2
