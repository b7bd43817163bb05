#!/usr/bin/env bash
# Installs what is missing, builds both builds, and runs every test under Wine: the suites through
# CTest, then the checks of these scripts themselves; exits non-zero on any failure, after every
# suite has run. Where this machine runs 32-bit programs, the 32-bit suite and the 64-bit suite
# both run; where it does not (or ZAQ_BUILD=64 asks), the 64-bit suite, which also checks the
# 32-bit DLL's image as a file.
# With --quick, for a maintainer between two edits: only the build this machine runs, and only
# its suite; it says what it leaves out.
set -euo pipefail
zaq_script=test.sh
source "$(dirname "$0")/build-kind.sh"
source "$zaq_root/scripts/run-guard.sh"

quick=
case "${1:-}" in
  --quick) quick=1 ;;
  "") ;;
  *) echo "usage: test.sh [--quick]" >&2; exit 2 ;;
esac

zaq_install_and_build ${quick:+chosen}

passed=0
failed=()
suite() { # suite BITS [CTEST-OPTIONS...]
  local bits=$1
  shift
  echo "== The $bits-bit suite"
  if ZAQ_BUILD=$bits zaq_run "$zaq_root/scripts/with-wine.sh" \
    ctest --test-dir "$(zaq_build_dir "$bits")" --output-on-failure --timeout 300 -j2 "$@"; then
    passed=$((passed + 1))
  else
    failed+=("the $bits-bit suite")
  fi
}

left_out=
if [ -n "$quick" ]; then
  if [ "$ZAQ_BUILD" = 64 ]; then
    left_out="the 32-bit DLL's build and image checks, the scripts' own checks"
    echo "Quick: $ZAQ_BUILD_WHY, its suite only. Left out: $left_out."
    suite 64 -E product_image_tests
  else
    left_out="the 64-bit build and its suite, the scripts' own checks"
    echo "Quick: $ZAQ_BUILD_WHY, its suite only. Left out: $left_out."
    suite 32
  fi
elif [ "$ZAQ_BUILD" = 64 ]; then
  echo "Testing $ZAQ_BUILD_WHY. The 32-bit DLL is built and its image checked; its behaviour is tested through the 64-bit build of the same sources."
  suite 64
else
  echo "Testing $ZAQ_BUILD_WHY; the 64-bit build's suite runs as well."
  suite 32
  suite 64
fi
if [ -z "$quick" ] && [ -z "${ZAQ_SKIP_SCRIPT_TESTS:-}" ]; then
  echo "== The scripts' own checks"
  if zaq_run "$zaq_root/tests/scripts_test.sh"; then
    passed=$((passed + 1))
  else
    failed+=("the scripts' checks")
  fi
fi

[ ${#failed[@]} -eq 0 ] || echo "test.sh: failed: ${failed[*]}" >&2
echo "test.sh: $passed passed, ${#failed[@]} failed${quick:+ (quick; left out: $left_out)}"
[ ${#failed[@]} -eq 0 ]
