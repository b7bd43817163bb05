#!/usr/bin/env bash
# Runs a command with the chosen build's own Wine prefix (build/wineprefix, 32-bit, or
# build64/wineprefix, 64-bit), a warm persistent wineserver and a private Xvfb display; with
# --visible, on the user's own display instead, which must answer. In the 64-bit case "wine" on
# the PATH is the 64-bit loader. ZAQ_BUILD chooses the build (see build-kind.sh). The user's own
# Wine settings (WINEPREFIX, WINEARCH, WINELOADER, WINESERVER) change nothing; WINEDEBUG is kept.
# However the run ends, the server and the display it started are ended with it.
# Usage: with-wine.sh [--visible] COMMAND [ARGS...]
set -euo pipefail
zaq_script=with-wine.sh
source "$(dirname "$0")/build-kind.sh"
source "$zaq_root/scripts/run-guard.sh"
source "$zaq_root/scripts/step.sh"

visible=0
if [ "${1:-}" = --visible ]; then
  visible=1
  shift
fi
[ $# -gt 0 ] || { echo "usage: with-wine.sh [--visible] COMMAND [ARGS...]" >&2; exit 2; }

zaq_choose_build
build=$(zaq_build_dir "$ZAQ_BUILD")
zaq_lock "$build"

unset WINEPREFIX WINEARCH WINELOADER WINESERVER WINEDLLPATH
if [ "$ZAQ_BUILD" = 64 ]; then
  export PATH=$zaq_root/scripts/wine64:$PATH WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
else
  export WINEARCH=win32
fi
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=${WINEDEBUG--all} WINEDLLOVERRIDES='mscoree,mshtml='
step_context="with-wine.sh, setting up Wine ($ZAQ_BUILD-bit, $WINEPREFIX)"

# True when the display named by DISPLAY accepts a client.
display_answers() {
  timeout 10 python3 -c '
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
sys.exit(0 if x11.XOpenDisplay(None) else 1)' 2>/dev/null
}

# Starts a private Xvfb on the first free display number from 90 on, with its own cookie, and
# points DISPLAY and XAUTHORITY at it. Two runs may pick the same number at once: the loser's
# server ends at once, and it tries the next.
start_xvfb() {
  local number tries auth
  command -v Xvfb >/dev/null || { echo "with-wine.sh: no Xvfb (package xvfb); run scripts/install-deps.sh" >&2; exit 1; }
  auth=$(mktemp)
  zaq_on_exit "rm -f $(printf %q "$auth")"
  for number in $(seq 90 189); do
    [ -e "/tmp/.X$number-lock" ] && continue
    : >"$auth"
    xauth -q -f "$auth" add ":$number" . "$(mcookie)"
    zaq_unlocked Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -auth "$auth" >/dev/null 2>&1 &
    xvfb=$!
    zaq_on_exit "kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null"
    export DISPLAY=:$number XAUTHORITY=$auth
    for tries in $(seq 100); do
      kill -0 "$xvfb" 2>/dev/null || break
      display_answers && return 0
      sleep 0.1
    done
    kill "$xvfb" 2>/dev/null || true # it may have gone already: the number was taken
  done
  echo "with-wine.sh: could not start Xvfb on any display from :90 to :189" >&2
  exit 1
}

if [ $visible = 1 ]; then
  if [ -z "${DISPLAY:-}" ] || ! display_answers; then
    echo "with-wine.sh: --visible needs a display, and ${DISPLAY:+DISPLAY=$DISPLAY answers nothing}${DISPLAY:-DISPLAY is not set}" >&2
    exit 1
  fi
else
  start_xvfb
fi

# A prefix is used only once it is whole: the marker, holding the prefix's own path, is written
# last. One that lacks it (a run stopped while making it), was made elsewhere (the clone was
# moved or copied) or lacks a part is made again.
marker=$WINEPREFIX/.zaq-prefix-made
fonts=$WINEPREFIX/drive_c/windows/Fonts
wineserver -k 2>/dev/null || true # a server an interrupted run left behind; usually there is none
if [ ! -f "$marker" ] || [ "$(cat "$marker")" != "$WINEPREFIX" ] || [ ! -f "$fonts/tahoma.ttf" ]; then
  if [ -e "$WINEPREFIX" ]; then
    echo "with-wine.sh: the Wine prefix $WINEPREFIX is incomplete, out of date or made elsewhere; making it again" >&2
    rm -rf "$WINEPREFIX"
  else
    echo "with-wine.sh: making the $ZAQ_BUILD-bit Wine prefix $WINEPREFIX (once, about 15 s)" >&2
  fi
  mkdir -p "$WINEPREFIX"
  step "creating the prefix" zaq_unlocked wine wineboot --init
  # Without a window manager every window close otherwise waits two seconds.
  step "window settings" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  # A crashing program exits at once instead of waiting on a crash dialog.
  step "crash dialog settings" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  step "waiting for the first server to end" wineserver -w
  # Dialogs ask for Tahoma: Wine's own (package fonts-wine) is installed into the prefix, or
  # Wine draws DejaVu Sans instead, a sixth wider.
  step "installing Tahoma" cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$fonts/"
  echo "$WINEPREFIX" >"$marker"
fi

zaq_on_exit "wineserver -k 2>/dev/null"
step "starting a persistent wineserver" zaq_unlocked wineserver -p
# Wine's background services start here, not in the first test, whose output they would hold open.
step "starting Wine's services" zaq_unlocked wine wineboot
zaq_run "$@"
