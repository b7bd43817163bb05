#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing; only that
# needs root. A package index that fails to download is reported and tried once more, then the
# install goes on with what apt has. Where the 32-bit Wine packages cannot be installed but the
# rest can, the rest is installed and apt's reason is kept for the scripts that choose the build.
# Usage: install-deps.sh [PACKAGE...], the packages named (a benchmark's dictionary) as well.
set -euo pipefail
source "$(dirname "$0")/build-kind.sh"

packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb xauth googletest python3 fonts-wine procps "$@")
wine32=wine32:i386
note=$(zaq_wine32_note)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  rm -f "$note" # the 32-bit packages are there now: any reason kept from before is stale
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "install-deps.sh: these packages are missing: ${missing[*]}" >&2
  echo "install-deps.sh: installing them needs root: run scripts/install-deps.sh as root, then this again" >&2
  exit 1
fi

source "$zaq_root/scripts/step.sh"
step_context="install-deps.sh"

# apt's own words for why an install failed: its last error.
apt_reason() {
  local error
  error=$(sed -n 's/^E: //p' "$1" | tail -n 1)
  echo "${error:-apt-get install failed and printed no error}"
}

# Runs apt-get update; where some indexes fail, says which and why in one line each and
# returns non-zero. The lists that did download are used either way.
update() {
  local log status=0
  log=$(mktemp)
  apt-get update -qq >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    # "E: Failed to fetch URL  reason", the reason after two blanks; other errors as they are.
    sed -n -e 's/^[EW]: Failed to fetch \([^ ]*\)  *\(.*\)$/install-deps.sh: could not fetch \1: \2/p' \
      -e '/Failed to fetch/b' -e '/Some index files failed/b' -e 's/^E: /install-deps.sh: apt-get update: /p' \
      "$log" >&2
  fi
  rm -f "$log"
  return $status
}

# install LOG PACKAGES...: apt-get install, its output in LOG.
install() {
  local log=$1
  shift
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$@" >"$log" 2>&1
}

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "adding the i386 architecture" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
if ! update; then
  echo "install-deps.sh: apt-get update failed for some indexes; trying again in ${ZAQ_APT_RETRY_SECONDS:-10} s" >&2
  sleep "${ZAQ_APT_RETRY_SECONDS:-10}"
  update || echo "install-deps.sh: apt-get update failed again; installing from the indexes apt has" >&2
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if install "$log" "${missing[@]}"; then
  rm -f "$note"
  exit 0
fi
reason=$(apt_reason "$log")
rest=()
for package in "${missing[@]}"; do [ "$package" = "$wine32" ] || rest+=("$package"); done
if [ ${#rest[@]} -eq ${#missing[@]} ]; then
  echo "install-deps.sh: cannot install ${missing[*]}: $reason" >&2
  exit 1
fi
# Only the 32-bit Wine may be what apt cannot install today (its i386 libraries must match the
# 64-bit ones exactly, and a mirror out of step can hold them back): try the rest alone.
if [ ${#rest[@]} -gt 0 ] && ! install "$log" "${rest[@]}"; then
  echo "install-deps.sh: cannot install ${rest[*]}: $(apt_reason "$log")" >&2
  exit 1
fi
mkdir -p "$(dirname "$note")"
echo "$wine32 cannot be installed: $reason" >"$note"
echo "install-deps.sh: $wine32 cannot be installed ($reason); ${rest[*]:+installed the rest; }the 64-bit build runs" >&2
