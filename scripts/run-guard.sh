# What every entry script shares: one way out that ends whatever the run started, a plain
# "interrupted" on INT, TERM or HUP, and one run at a time per build folder. Sourced, not run;
# the caller sets zaq_script to its own name.

# Job control: each child that zaq_run starts gets a process group of its own, which a signal is
# passed on to whole, grandchildren and all.
set -m
zaq_cleanups=() # commands run on the way out, the last registered first
zaq_child=      # the running child that a signal is passed on to

# zaq_on_exit COMMAND: runs COMMAND (a shell string) however this script ends.
zaq_on_exit() {
  zaq_cleanups+=("$1")
}

zaq_exit_trap() {
  local status=$? i
  for ((i = ${#zaq_cleanups[@]} - 1; i >= 0; i--)); do
    eval "${zaq_cleanups[i]}" || true # each cleanup is tried, whatever the others did
  done
  zaq_cleanups=()
  exit $status
}

zaq_signal_trap() {
  trap '' INT TERM HUP
  echo "${zaq_script:-${0##*/}}: interrupted" >&2
  if [ -n "$zaq_child" ]; then
    kill -TERM -- "-$zaq_child" 2>/dev/null || true # it may have ended by itself meanwhile
    wait "$zaq_child" 2>/dev/null || true
    zaq_child=
  fi
  exit "$1"
}

trap zaq_exit_trap EXIT
trap 'zaq_signal_trap 130' INT
trap 'zaq_signal_trap 143' TERM
trap 'zaq_signal_trap 129' HUP

# zaq_run COMMAND...: runs COMMAND, with no standard input, and returns its status. It runs as a
# background job so that a signal reaches this script at once, which then passes it on as TERM
# to the job's whole process group.
zaq_run() {
  zaq_run_to "" "$@"
}

# zaq_run_to LOG COMMAND...: the same, with the command's output and errors in LOG (none: where
# this script's go). The redirection is the child's alone, so that what this script says on a
# signal still reaches its own standard error.
zaq_run_to() {
  local log=$1 status=0
  shift
  if [ -z "$log" ]; then
    "$@" </dev/null &
  else
    "$@" </dev/null >"$log" 2>&1 &
  fi
  zaq_child=$!
  wait "$zaq_child" || status=$?
  zaq_child=
  return $status
}

# zaq_lock DIR: takes the build folder DIR for this run, until the script ends: an flock on
# DIR/.zaq-lock, which the system lets go when the last process holding it ends, however it ends.
# While another run holds it, waits, saying so once. Child scripts inherit the hold, and its
# descriptor, through ZAQ_HELD_BUILDS and ZAQ_LOCK_FDS.
zaq_lock() {
  local dir=$1 fd pid
  case " ${ZAQ_HELD_BUILDS:-} " in *" $dir "*) return 0 ;; esac
  mkdir -p "$dir"
  exec {fd}>>"$dir/.zaq-lock"
  if ! flock -n "$fd"; then
    pid=$(cat "$dir/.zaq-lock-pid" 2>/dev/null || true)
    echo "${zaq_script:-${0##*/}}: another run (pid ${pid:-unknown}) is using $dir; waiting for it to end" >&2
    # A second at a time: bash runs a signal's trap only once the command it waits on has ended.
    until flock -w 1 "$fd"; do :; done
  fi
  echo $$ >"$dir/.zaq-lock-pid"
  export ZAQ_HELD_BUILDS="${ZAQ_HELD_BUILDS:-} $dir" ZAQ_LOCK_FDS="${ZAQ_LOCK_FDS:-} $fd"
}

# zaq_unlocked COMMAND...: becomes COMMAND without the build folders' lock descriptors, for a
# server that may outlive this run (Xvfb, the Wine server): it must not keep the next run waiting.
# Call it in a subshell of its own, a background job, which it replaces (so $! is the server's).
zaq_unlocked() {
  local fd
  for fd in ${ZAQ_LOCK_FDS:-}; do eval "exec $fd>&-"; done
  exec "$@"
}
