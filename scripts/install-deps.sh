#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing; only that
# needs root.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb xauth googletest python3 fonts-wine procps)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "install-deps.sh: these packages are missing: ${missing[*]}" >&2
  echo "install-deps.sh: installing them needs root: run scripts/install-deps.sh as root, then this again" >&2
  exit 1
fi

source "$(dirname "$0")/step.sh"
step_context="install-deps.sh"

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "adding the i386 architecture" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
step "apt-get update" apt-get update -qq
step "installing the packages" apt-get install -y -qq --no-install-recommends "${missing[@]}"
