#!/usr/bin/env bash
# Checks that the README's commands hold up in ordinary hands: a package mirror out of step, a
# run interrupted and run again, a half-made Wine prefix, the user's own Wine settings, two runs at once, and a clone under a
# path with Cyrillic letters and a space, whose DLL must be byte-identical to this one's and carry
# the SHA-256 the README gives.
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

# install-deps.sh against stand-ins for the package tools, which log every call and never reach
# the real ones. FAKE_INSTALLED lists the packages installed, FAKE_UNINSTALLABLE those apt cannot
# install ("all": none can), FAKE_UPDATE_FAILURES how many updates fail for one index.
fake=$work/fake-apt
mkdir -p "$fake"
cat >"$fake/dpkg-query" <<'EOF_'
#!/bin/bash
for installed in $FAKE_INSTALLED; do
  [ "$installed" = "${!#}" ] && printf 'install ok installed' && exit 0
done
exit 1
EOF_
cat >"$fake/dpkg" <<'EOF_'
#!/bin/bash
echo "dpkg $*" >>"$FAKE_LOG"
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
EOF_
cat >"$fake/id" <<'EOF_'
#!/bin/bash
echo 0
EOF_
cat >"$fake/apt-get" <<'EOF_'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
if [ "$1" = update ]; then
  failures=$(cat "$FAKE_LOG.updates" 2>/dev/null || echo 0)
  echo $((failures + 1)) >"$FAKE_LOG.updates"
  [ "$failures" -ge "${FAKE_UPDATE_FAILURES:-0}" ] && exit 0
  echo "E: Failed to fetch http://mirror.invalid/dists/x-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
for package in "$@"; do
  case " $FAKE_UNINSTALLABLE " in
    " all " | *" $package "*)
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
      ;;
  esac
done
exit 0
EOF_
chmod +x "$fake"/*
all_packages="cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine
  wine32:i386 wine64 xvfb xauth googletest python3 fonts-wine procps"
note=$(zaq_build_dir 32)/.zaq-wine32-unavailable
# fake_install LOG [VAR=VALUE...]: install-deps.sh with the stand-ins; returns its status.
fake_install() {
  local log=$1
  shift
  rm -f "$work/apt-calls" "$work/apt-calls.updates"
  env PATH="$fake:$PATH" FAKE_LOG="$work/apt-calls" ZAQ_APT_RETRY_SECONDS=0 FAKE_INSTALLED= \
    FAKE_UNINSTALLABLE= FAKE_UPDATE_FAILURES=0 "$@" "$zaq_root/scripts/install-deps.sh" >"$log" 2>&1
}
# The build the scripts would choose with no 32-bit Wine loader, and why; or the refusal.
choose_without_loader() {
  env ZAQ_WINE32_LOADER=/nonexistent bash -c 'source "$1"; zaq_choose_build && echo "$ZAQ_BUILD: $ZAQ_BUILD_WHY"' \
    _ "$zaq_root/scripts/build-kind.sh" 2>&1
}
chooses_64_saying_why() {
  ZAQ_BUILD= choose_without_loader | grep -q '^64: .*wine32:i386 cannot be installed: Unable to correct problems'
}
refuses_32_saying_why() {
  local said status=0
  said=$(ZAQ_BUILD=32 choose_without_loader) || status=$?
  [ $status -ne 0 ] && grep -q 'ZAQ_BUILD=32 .* cannot run here: wine32:i386 cannot be installed: Unable' <<<"$said"
}
fails() { ! "$@"; }

check "nothing missing: no package tool is asked" fake_install "$work/apt.log" FAKE_INSTALLED="$all_packages"
check "... not even apt-get update" test ! -e "$work/apt-calls"

check "an update failing for one index still installs" fake_install "$work/apt.log" FAKE_UPDATE_FAILURES=1
check "... saying which index failed and why" grep -q "could not fetch http://mirror.invalid/.*binary-i386/Packages.xz: File has unexpected size" "$work/apt.log"
check "... trying the update once more" test "$(grep -c '^apt-get update' "$work/apt-calls")" = 2
check "... and installing everything" grep -q "^apt-get install .*wine32:i386" "$work/apt-calls"

check "an update failing every time still installs" fake_install "$work/apt.log" FAKE_UPDATE_FAILURES=9
check "... after two tries" test "$(grep -c '^apt-get update' "$work/apt-calls")" = 2

check "wine32:i386 that cannot be installed: the rest is installed" fake_install "$work/apt.log" \
  FAKE_UPDATE_FAILURES=9 FAKE_UNINSTALLABLE=wine32:i386
check "... without wine32:i386" bash -c "grep '^apt-get install' '$work/apt-calls' | tail -n 1 | grep -v -q wine32 && grep -q ' wine64 ' '$work/apt-calls'"
check "... saying the 64-bit build runs, with apt's reason" grep -q "wine32:i386 cannot be installed (Unable to correct problems, you have held broken packages.); installed the rest; the 64-bit build runs" "$work/apt.log"
check "... which the build choice repeats" chooses_64_saying_why
check "... and ZAQ_BUILD=32 then fails with that reason" refuses_32_saying_why
check "once wine32:i386 can be installed, the next run installs it" fake_install "$work/apt.log" \
  FAKE_INSTALLED="${all_packages/wine32:i386/}"
check "... alone" grep -q "^apt-get install .* wine32:i386$" "$work/apt-calls"
check "... and the kept reason is gone" test ! -e "$note"

check "nothing installable: a non-zero status" fails fake_install "$work/apt.log" FAKE_UNINSTALLABLE=all
check "... saying which packages and apt's reason" grep -q "cannot install cmake make .* procps: Unable to correct problems" "$work/apt.log"
check "... and no reason kept for the build choice" test ! -e "$note"

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
readme_names_the_dll() { grep -q "$(sha256sum "$zaq_root/build/ZAQ.ZAQ" | cut -d' ' -f1)  ZAQ.ZAQ" "$zaq_root/README.md"; }
check "the README gives the built ZAQ.ZAQ's SHA-256" readme_names_the_dll

echo "scripts: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
