#!/usr/bin/env bash
# Configures and builds everything (plug-in, stand-in host, tests, benchmarks): the 32-bit build
# into build/, the 64-bit build into build64/. Usage: build.sh [32|64] (no argument: both).
set -euo pipefail
source "$(dirname "$0")/build-kind.sh"

build() {
  local bits=$1 dir options
  dir=$(zaq_build_dir "$bits")
  if [ "$bits" = 32 ]; then
    options=(-DCMAKE_TOOLCHAIN_FILE="$zaq_root/cmake/toolchain-i686-mingw.cmake")
  else
    # The 64-bit build's tests also check the 32-bit product DLL's image.
    options=(-DCMAKE_TOOLCHAIN_FILE="$zaq_root/cmake/toolchain-x86_64-mingw.cmake"
      -DZAQ_PRODUCT_DLL="$(zaq_build_dir 32)/ZAQ.ZAQ")
  fi
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$zaq_root" -B "$dir" "${options[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$dir" -j"$(nproc)"
}

case "${1:-both}" in
  32 | 64) build "$1" ;;
  both) build 32 && build 64 ;;
  *) echo "usage: build.sh [32|64]" >&2; exit 2 ;;
esac
