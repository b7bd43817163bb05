# step NAME COMMAND...: runs one setup step quietly; on failure names it, shows what it printed
# and exits. Sourced, not run; the caller sets step_context to say whose step it is.
step() {
  local name=$1 log
  shift
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    echo "${step_context:-setup}: $name failed ($*):" >&2
    sed 's/^/  | /' "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}
