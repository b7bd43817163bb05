# Which build the scripts run, 32-bit or 64-bit, and where each lives; sourced, not run.
# ZAQ_BUILD=64 chooses the 64-bit build on purpose, ZAQ_BUILD=32 the 32-bit one; unset, the
# 32-bit build is used wherever this machine runs 32-bit programs.
shopt -s extglob
zaq_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

zaq_build_dir() {
  if [ "$1" = 32 ]; then echo "${BUILD_DIR:-$zaq_root/build}"; else echo "${BUILD64_DIR:-$zaq_root/build64}"; fi
}

# Where install-deps.sh keeps apt's reason when the 32-bit Wine packages could not be installed;
# it is removed once they are.
zaq_wine32_note() {
  echo "$(zaq_build_dir 32)/.zaq-wine32-unavailable"
}

# True when the 32-bit Wine loader runs at all; a kernel without 32-bit emulation refuses it, and
# it is missing where the 32-bit Wine packages could not be installed. Why not is kept in
# zaq_probe_output. ZAQ_WINE32_LOADER names another loader, for the scripts' own checks.
zaq_runs_32bit() {
  local status=0 loader=${ZAQ_WINE32_LOADER:-/usr/lib/wine/wine}
  zaq_probe_output=$("$loader" --version 2>&1) || status=$?
  [ $status -eq 0 ] && return 0
  if [ ! -e "$loader" ] && [ -s "$(zaq_wine32_note)" ]; then
    zaq_probe_output=$(cat "$(zaq_wine32_note)")
    return 1
  fi
  # bash prefixes its own complaint with the script's name and line.
  zaq_probe_output=${zaq_probe_output##*line +([0-9]): }
  zaq_probe_output="the 32-bit Wine loader fails with status $status: ${zaq_probe_output:-no output}"
  return 1
}

# Fails at once, before anything is installed or built, when ZAQ_BUILD holds no build's name.
zaq_check_build_name() {
  case "${ZAQ_BUILD:-}" in
    32 | 64 | "") ;;
    *)
      echo "ZAQ_BUILD must be 32, 64 or unset, not '$ZAQ_BUILD'" >&2
      return 1
      ;;
  esac
}

# Sets ZAQ_BUILD to 32 or 64 and ZAQ_BUILD_WHY to one line saying why; fails when the 32-bit
# build is asked for on a machine that cannot run it.
zaq_choose_build() {
  case "${ZAQ_BUILD:-}" in
    64)
      ZAQ_BUILD_WHY="the 64-bit build, as ZAQ_BUILD=64 asks"
      ;;
    32)
      if ! zaq_runs_32bit; then
        echo "ZAQ_BUILD=32 asks for the 32-bit build, but it cannot run here: $zaq_probe_output" >&2
        return 1
      fi
      ZAQ_BUILD_WHY="the 32-bit build, as ZAQ_BUILD=32 asks"
      ;;
    "")
      if zaq_runs_32bit; then
        ZAQ_BUILD=32 ZAQ_BUILD_WHY="the 32-bit build: this machine runs 32-bit programs"
      else
        ZAQ_BUILD=64 ZAQ_BUILD_WHY="the 64-bit build: the 32-bit build cannot run here ($zaq_probe_output)"
      fi
      ;;
    *)
      echo "ZAQ_BUILD must be 32, 64 or unset, not '$ZAQ_BUILD'" >&2
      return 1
      ;;
  esac
  export ZAQ_BUILD ZAQ_BUILD_WHY
}

# What the README's two commands do first: reject a bad ZAQ_BUILD before anything else, install
# what is missing, choose the build, take both build folders for this run and build both (the
# 64-bit build also serves where 32-bit programs cannot run). With "chosen", only the chosen
# build's folder is taken and built. Needs run-guard.sh sourced.
zaq_install_and_build() {
  zaq_check_build_name
  echo "== Checking the packages the build needs (installing any that are missing)"
  "$zaq_root/scripts/install-deps.sh"
  zaq_choose_build
  if [ "${1:-}" = chosen ]; then
    zaq_lock "$(zaq_build_dir "$ZAQ_BUILD")"
    zaq_run "$zaq_root/scripts/build.sh" "$ZAQ_BUILD"
    return
  fi
  zaq_lock "$(zaq_build_dir 32)"
  zaq_lock "$(zaq_build_dir 64)"
  zaq_run "$zaq_root/scripts/build.sh"
}
