#!/usr/bin/env bash
# A write to standard output that fails (a full disk, /dev/full) is found at the
# end: a run that would end with 0 ends with 3, the stream problem's status, and
# says so on standard error; one that fails anyway keeps its own status.
# Usage: standard-output.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"
[ -w /dev/full ] || { echo "skipped: no /dev/full"; exit 0; }

# full_run WORK ARGS...: kelvad in WORK with standard output on /dev/full; sets $status.
full_run() {
  local work=$1
  shift
  (cd "$work" && exec -a kelvad "$kelvad" "$@") >/dev/full 2>"$work.stderr" </dev/null
  status=$?
}

# The system's reason follows where it is still known when the failure is found.
cause="kelvad: cannot write standard output"
work=$(new_case version)
full_run "$work" -V
check_equal "-V: status" 3 "$status"
check_equal "-V: cause" "$cause" "$(cut -d: -f1,2 "$work.stderr")"

work=$(new_case rewrite)
full_run "$work" prog.qsm
check_equal "a whole run: status" 3 "$status"
check_equal "a whole run: cause" "$cause" "$(tail -1 "$work.stderr" | cut -d: -f1,2)"
check_text "a whole run: source" "$work/prog.qsm" "$small_rewritten"

work=$(new_case failing)
full_run "$work" prog.qsm +bad
check_equal "a failing run: status" 2 "$status"
finish
