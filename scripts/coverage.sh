#!/usr/bin/env bash
# Shows which lines and branches of the plug-in's sources no test reaches: a coverage build of its
# own (build-coverage/, or build64-coverage/ where 32-bit programs cannot run; build/ and build64/
# are not touched), the CTest suites under Wine, then the mingw-w64 gcov. Prints one line per
# source of src/ with its lines and branches taken, and writes the annotated sources to a folder
# named at the end. Needs the packages the other scripts install, and installs them as they do.
set -euo pipefail
zaq_script=coverage.sh
source "$(dirname "$0")/build-kind.sh"
source "$zaq_root/scripts/run-guard.sh"

zaq_check_build_name
echo "== Checking the packages the build needs (installing any that are missing)"
"$zaq_root/scripts/install-deps.sh"
zaq_choose_build
if [ "$ZAQ_BUILD" = 32 ]; then
  dir=$zaq_root/build-coverage triple=i686-w64-mingw32
  export BUILD_DIR=$dir
else
  dir=$zaq_root/build64-coverage triple=x86_64-w64-mingw32
  export BUILD64_DIR=$dir
fi
zaq_lock "$dir"
echo "== Measuring the coverage of $ZAQ_BUILD_WHY, in $dir"

# A folder configured for another clone, or without counters, is configured afresh.
if [ -f "$dir/CMakeCache.txt" ] && { ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$zaq_root" "$dir/CMakeCache.txt" ||
  ! grep -qx 'ZAQ_COVERAGE:BOOL=ON' "$dir/CMakeCache.txt"; }; then
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  echo "== Configuring the coverage build"
  zaq_run cmake -S "$zaq_root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$zaq_root/cmake/toolchain-${triple%%-*}-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DZAQ_COVERAGE=ON >/dev/null
fi
echo "== Building the coverage build"
zaq_run cmake --build "$dir" -j"$(nproc)" >/dev/null

# Counters add up over runs: each report starts from none. The suites run one at a time, since
# two programs ending at once would merge into the same counter files.
find "$dir" -name '*.gcda' -delete
echo "== Running the suites (one at a time). The image test skips its size and import checks in this build."
status=0
ZAQ_BUILD=$ZAQ_BUILD zaq_run "$zaq_root/scripts/with-wine.sh" \
  ctest --test-dir "$dir" --output-on-failure --timeout 900 || status=$?

report=$dir/coverage
rm -rf "$report"
mkdir -p "$report/json"
echo "== Reading the counters with $triple-gcov"
# The product's own objects, which the test programs link too: the DLL's and its core library's.
mapfile -t notes < <(find "$dir/CMakeFiles/zaq_core.dir" "$dir/CMakeFiles/ZAQ.dir" -name '*.gcno' | sort)
# Annotated sources with branch counts (a header's from the last object that includes it),
# and the same counts as JSON for the summary below.
(cd "$report" && "$triple-gcov" -b -c "${notes[@]}" >/dev/null)
(cd "$report/json" && "$triple-gcov" -b --json-format "${notes[@]}" >/dev/null)

python3 "$zaq_root/scripts/coverage_summary.py" "$report/json" "$zaq_root/src/"
echo "== Annotated sources (lines marked ##### ran never; branch counts below each line): $report"
[ $status -eq 0 ] || echo "coverage.sh: a suite failed (status $status); its counters are in the report all the same" >&2
exit $status
