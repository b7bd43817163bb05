#!/usr/bin/env bash
# Checks that the README's commands hold up in ordinary hands: a run interrupted and run again,
# a half-made Wine prefix, the user's own Wine settings, two runs at once, and a clone under a
# path with Cyrillic letters and a space, whose DLL must be byte-identical to this one's.
# Run by scripts/test.sh after the suites; prints "N passed, M failed" last.
set -uo pipefail
zaq_root=$(cd "$(dirname "$0")/.." && pwd)
source "$zaq_root/scripts/build-kind.sh"
zaq_choose_build
with_wine=$zaq_root/scripts/with-wine.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The prefix checks use build folders of their own, so that they never touch this clone's.
export BUILD_DIR=$work/build BUILD64_DIR=$work/build64
prefix=$(zaq_build_dir "$ZAQ_BUILD")/wineprefix
passed=0
failed=0

check() { # check NAME CONDITION...: counts and reports one check; fails when it does
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $name"
    return 0
  fi
  failed=$((failed + 1))
  echo "FAILED: $name"
  return 1
}

# with_wine_logged LOG ARGS...: with-wine.sh ARGS, its output in LOG; returns its status.
with_wine_logged() {
  local log=$1
  shift
  "$with_wine" "$@" >"$log" 2>&1
}

# Waits up to 60 s for a process whose command line matches $1.
wait_for_process() {
  local i
  for i in $(seq 600); do
    pgrep -f "$1" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Starts with-wine.sh running `sleep SECONDS` in a session (and so a process group) of its own,
# with INT handled as a terminal's Ctrl-C would be; sets pid once the sleep has begun.
start_sleeping_run() {
  env --default-signal=INT setsid "$with_wine" sleep "$1" >"$work/interrupted.log" 2>&1 &
  pid=$!
  wait_for_process "^sleep $1\$"
}

# A first run interrupted while it makes the prefix, two seconds after it says so.
env --default-signal=INT setsid "$with_wine" true >"$work/first.log" 2>&1 &
pid=$!
for i in $(seq 300); do grep -q "making the" "$work/first.log" && break; sleep 0.1; done
sleep 2
kill -INT -- "-$pid"
status=0
wait "$pid" || status=$?
check "a run interrupted while making the prefix stops with a non-zero status" test "$status" -ne 0
check "... saying so" grep -q "with-wine.sh: interrupted" "$work/first.log"
check "the next run makes the prefix whole" with_wine_logged "$work/second.log" true
check "... and marks it so" test -f "$prefix/.zaq-prefix-made"

for signal in INT TERM HUP; do
  start_sleeping_run 61
  kill -"$signal" -- "-$pid"
  status=0
  wait "$pid" || status=$?
  check "SIG$signal stops a run with a non-zero status" test "$status" -ne 0
  check "... which says it was interrupted" grep -q "with-wine.sh: interrupted" "$work/interrupted.log"
  check "... and leaves nothing running" bash -c '! pgrep -f "^sleep 61$" >/dev/null'
  check "... and the next run passes" with_wine_logged "$work/again.log" true
done

# A prefix as a run interrupted while making it leaves it: the registry, but not the settings.
rm -rf "$prefix"
mkdir -p "$prefix"
echo 'WINE REGISTRY Version 2' >"$prefix/system.reg"
check "a half-made prefix is made again" with_wine_logged "$work/half.log" true
check "... saying so" grep -q "making it again" "$work/half.log"
check "... and whole this time" test -f "$prefix/.zaq-prefix-made"

check "the user's own Wine settings change nothing" env WINEPREFIX="$work/users-prefix" WINEARCH=win32 \
  WINELOADER=/nonexistent WINESERVER=/nonexistent "$with_wine" wine cmd /c exit 0
check "... and the user's prefix is left alone" test ! -e "$work/users-prefix"

start_sleeping_run 62
with_wine_logged "$work/second.log" true &
second=$!
sleep 3
check "a second run waits while the first holds the build folder" kill -0 "$second"
check "... saying which run it waits for" grep -q "another run (pid $pid) is using" "$work/second.log"
kill -TERM -- "-$pid"
wait "$pid"
check "... and runs once the first has ended" wait "$second"

# A clone under a path the ANSI code page cannot hold, with a space in it: both commands pass
# there, and its clean build of the DLL has the same bytes as this one's.
clone="$work/my work/Проект"
mkdir -p "$clone"
(cd "$zaq_root" && git ls-files -co --exclude-standard -z | tar --null -T - -cf -) | tar -xf - -C "$clone"
unset BUILD_DIR BUILD64_DIR
clone_test() { env ZAQ_SKIP_SCRIPT_TESTS=1 "$clone/scripts/test.sh" >"$work/clone-test.log" 2>&1; }
clone_demo() { "$clone/scripts/demo.sh" >"$work/clone-demo.log" 2>&1; }
check "the test command passes in '$clone'" clone_test || tail -n 40 "$work/clone-test.log"
check "the main job passes there" clone_demo || tail -n 40 "$work/clone-demo.log"
check "a clean build elsewhere gives the same ZAQ.ZAQ bytes" cmp "$zaq_root/build/ZAQ.ZAQ" "$clone/build/ZAQ.ZAQ"

echo "scripts: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
