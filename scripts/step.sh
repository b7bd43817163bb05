# step NAME COMMAND...: runs one setup step quietly; on failure names it, shows what it printed
# and exits. Sourced, not run; the caller sets step_context to say whose step it is. Where the
# caller has sourced run-guard.sh, a signal stops the step at once.
step() {
  local name=$1 log status=0
  shift
  log=$(mktemp)
  if declare -F zaq_run_to >/dev/null; then
    zaq_on_exit "rm -f $(printf %q "$log")"
    zaq_run_to "$log" "$@" || status=$?
  else
    "$@" >"$log" 2>&1 || status=$?
  fi
  if [ $status -ne 0 ]; then
    echo "${step_context:-setup}: $name failed with status $status ($*):" >&2
    sed 's/^/  | /' "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}
