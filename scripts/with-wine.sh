#!/usr/bin/env bash
# Runs a command with a private 32-bit Wine prefix and a warm, persistent wineserver, under Xvfb
# when there is no display. Usage: with-wine.sh COMMAND [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='

if [ -z "${DISPLAY:-}" ] && [ -z "${ZAQ_IN_XVFB:-}" ]; then
  export ZAQ_IN_XVFB=1
  exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1
  # Without a window manager every window close otherwise waits two seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # A crashing program exits at once instead of waiting on a crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
fi
wineserver -p
# Wine's background services start here, not in the first test, whose output they would hold open.
wine wineboot >/dev/null 2>&1
rc=0
"$@" || rc=$?
wineserver -k || true  # the server may already have gone; nothing is left to stop then
exit $rc
