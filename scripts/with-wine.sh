#!/usr/bin/env bash
# Runs a command with the chosen build's private Wine prefix (build/wineprefix, 32-bit, or
# build64/wineprefix, 64-bit) and a warm, persistent wineserver, under Xvfb when there is no
# display. In the 64-bit case "wine" on the PATH is the 64-bit loader. ZAQ_BUILD chooses the
# build (see build-kind.sh). Usage: with-wine.sh COMMAND [ARGS...]
set -euo pipefail
source "$(dirname "$0")/build-kind.sh"
zaq_choose_build

if [ "$ZAQ_BUILD" = 64 ]; then
  export PATH=$zaq_root/scripts/wine64:$PATH WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
else
  export WINEARCH=win32
fi
export WINEPREFIX=${WINEPREFIX:-$(zaq_build_dir "$ZAQ_BUILD")/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='

if [ -z "${DISPLAY:-}" ] && [ -z "${ZAQ_IN_XVFB:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "with-wine.sh: no display and no xvfb-run (package xvfb)" >&2; exit 1; }
  export ZAQ_IN_XVFB=1
  exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi

source "$zaq_root/scripts/step.sh"
step_context="with-wine.sh, setting up Wine ($ZAQ_BUILD-bit, $WINEPREFIX)"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  step "creating the prefix" wine wineboot --init
  # Without a window manager every window close otherwise waits two seconds.
  step "window settings" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  # A crashing program exits at once instead of waiting on a crash dialog.
  step "crash dialog settings" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  step "waiting for the first server to end" wineserver -w
fi
step "starting a persistent wineserver" wineserver -p
# Wine's background services start here, not in the first test, whose output they would hold open.
step "starting Wine's services" wine wineboot
rc=0
"$@" || rc=$?
wineserver -k || true  # the server may already have gone; nothing is left to stop then
exit $rc
