#!/usr/bin/env bash
# Configures and builds everything (plug-in, stand-in host, tests, benchmarks): the 32-bit build
# into build/, the 64-bit build into build64/, and prints the product DLL's SHA-256.
# Usage: build.sh [32|64] (no argument: both).
set -euo pipefail
zaq_script=build.sh
source "$(dirname "$0")/build-kind.sh"
source "$zaq_root/scripts/run-guard.sh"

build() {
  local bits=$1 dir options home
  dir=$(zaq_build_dir "$bits")
  zaq_lock "$dir"
  if [ "$bits" = 32 ]; then
    options=(-DCMAKE_TOOLCHAIN_FILE="$zaq_root/cmake/toolchain-i686-mingw.cmake")
  else
    # The 64-bit build's tests also check the 32-bit product DLL's image.
    options=(-DCMAKE_TOOLCHAIN_FILE="$zaq_root/cmake/toolchain-x86_64-mingw.cmake"
      -DZAQ_PRODUCT_DLL="$(zaq_build_dir 32)/ZAQ.ZAQ")
  fi
  # A build folder configured for another source folder (the clone was moved or copied) would
  # fail, or build the other folder's sources: configure it afresh.
  if [ -f "$dir/CMakeCache.txt" ]; then
    home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$dir/CMakeCache.txt")
    if [ "$home" != "$zaq_root" ]; then
      echo "build.sh: $dir was configured for ${home:-an unknown folder}; configuring it for $zaq_root"
      rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
  fi
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "== Configuring the $bits-bit build in $dir"
    zaq_run cmake -S "$zaq_root" -B "$dir" "${options[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  echo "== Building the $bits-bit build in $dir"
  zaq_run cmake --build "$dir" -j"$(nproc)"
  if [ "$bits" = 32 ]; then
    echo "== ZAQ.ZAQ (32-bit): SHA-256 $(sha256sum "$dir/ZAQ.ZAQ" | cut -d' ' -f1)"
  fi
}

case "${1:-both}" in
  32 | 64) build "$1" ;;
  both) build 32 && build 64 ;;
  *) echo "usage: build.sh [32|64]" >&2; exit 2 ;;
esac
