#!/usr/bin/env bash
# A folder its user may write and search but not list (mode 0333) cannot be opened
# for the lock that keeps runs apart: six runs at once there each stop with error
# 21 (status 3) before assembling anything, and the source stays as it was; no
# run goes on unlocked. Needs root, to run them as another user; skipped otherwise.
# Usage: unlistable-folder.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
  echo "skipped: needs root and setpriv to run as another user"
  exit 0
fi
user=65534

chmod 711 "$scratch"
work=$(new_case unlistable)
chown -R "$user:$user" "$work"
chmod 0333 "$work"
pids=()
for run in 1 2 3 4 5 6; do
  (cd "$work" && exec setpriv --reuid=$user --regid=$user --clear-groups "$kelvad" prog.qsm -.) \
    >"$work.$run.stdout" 2>"$work.$run.stderr" </dev/null &
  pids+=($!)
done
for run in 1 2 3 4 5 6; do
  wait "${pids[$((run - 1))]}"
  check_equal "run $run: status" 3 "$?"
  check_text "run $run: message" "$work.$run.stdout" \
    " Error : Can't lock this folder against other runs: make it readable, or run elsewhere"$'\n\n'
  check_equal "run $run: cause" "kelvad: the folder cannot be opened for its lock: Permission denied" \
    "$(cat "$work.$run.stderr")"
done
check_text "source" "$work/prog.qsm" "$small_source"
check_absent "no assembler run" "$work/torna.count"

# Made readable, the same six runs take turns: the branch is expanded once.
chmod 0755 "$work"
pids=()
for run in 1 2 3 4 5 6; do
  (cd "$work" && exec setpriv --reuid=$user --regid=$user --clear-groups "$kelvad" prog.qsm -. -COUNT1) \
    >"$work.$run.stdout" 2>/dev/null </dev/null &
  pids+=($!)
done
statuses=""
for pid in "${pids[@]}"; do wait "$pid"; statuses+="$? "; done
check_equal "readable: statuses" "0 0 0 0 0 0 " "$statuses"
check_text "readable: the branch expanded once" "$work/prog.qsm" "$small_rewritten"
finish
