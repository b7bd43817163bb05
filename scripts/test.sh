#!/usr/bin/env bash
# Installs what is missing, builds both builds, and runs every test under Wine: the suites through
# CTest, then the checks of these scripts themselves; exits non-zero on any failure, after every
# suite has run. Where this machine runs 32-bit programs, the 32-bit suite and the 64-bit suite
# both run; where it does not (or ZAQ_BUILD=64 asks), the 64-bit suite, which also checks the
# 32-bit DLL's image as a file.
set -euo pipefail
zaq_script=test.sh
source "$(dirname "$0")/build-kind.sh"
source "$zaq_root/scripts/run-guard.sh"

zaq_install_and_build

passed=0
failed=()
suite() {
  echo "== The $1-bit suite"
  if ZAQ_BUILD=$1 zaq_run "$zaq_root/scripts/with-wine.sh" \
    ctest --test-dir "$(zaq_build_dir "$1")" --output-on-failure --timeout 300 -j2; then
    passed=$((passed + 1))
  else
    failed+=("the $1-bit suite")
  fi
}

if [ "$ZAQ_BUILD" = 64 ]; then
  echo "Testing $ZAQ_BUILD_WHY. The 32-bit DLL is built and its image checked; its behaviour is tested through the 64-bit build of the same sources."
  suite 64
else
  echo "Testing $ZAQ_BUILD_WHY; the 64-bit build's suite runs as well."
  suite 32
  suite 64
fi
if [ -z "${ZAQ_SKIP_SCRIPT_TESTS:-}" ]; then
  echo "== The scripts' own checks"
  if zaq_run "$zaq_root/tests/scripts_test.sh"; then
    passed=$((passed + 1))
  else
    failed+=("the scripts' checks")
  fi
fi

[ ${#failed[@]} -eq 0 ] || echo "test.sh: failed: ${failed[*]}" >&2
echo "test.sh: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
