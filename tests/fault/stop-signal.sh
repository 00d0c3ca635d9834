#!/usr/bin/env bash
# SIGTERM, SIGHUP or SIGINT to kelvad alone (as a build system stops a job) while a
# slow assembler runs: the assembler, and what it started, is killed and waited
# for before kelvad ends, so it never writes a tag file late; the next run then
# expands the branch once, with status 0. After a SIGKILL the assembler holds the
# folder's lock until it ends.
# Usage: stop-signal.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"

# slow_case NAME: a case whose assembler is a wrapper that, while "slow" exists,
# notes its pid and sleeps 3 s before running the fake, as a real one writes its
# files only at the end.
slow_case() {
  work=$(new_case "$1")
  mv "$work/torna" "$work/faketorna"
  cat >"$work/torna" <<'WRAP'
#!/usr/bin/env bash
echo $$ >torna.pid
[ -f slow ] && sleep 3
exec ./faketorna "$@"
WRAP
  chmod +x "$work/torna"
  : >"$work/slow"
  (cd "$work" && exec -a kelvad "$kelvad" prog.qsm -.) >"$work.stdout" 2>"$work.stderr" </dev/null &
  pid=$!
  for _ in $(seq 100); do [ -s "$work/torna.pid" ] && break; sleep 0.05; done
}

for signal in TERM HUP INT; do
  slow_case "$signal"
  kill -"$signal" "$pid"
  wait "$pid"
  status=$?
  case $signal in TERM) expected=143 ;; HUP) expected=129 ;; INT) expected=4 ;; esac
  check_equal "$signal: status" "$expected" "$status"
  if kill -0 "$(cat "$work/torna.pid")" 2>/dev/null; then
    fail "$signal: the assembler outlived kelvad"
  else
    pass
  fi
  # Longer than the assembler would have slept: it never ran on to write its files.
  sleep 3.5
  check_absent "$signal: a run of the assembler after kelvad's end" "$work/torna.count"
  check_text "$signal: source" "$work/prog.qsm" "$small_source"
  rm "$work/slow"
  run_kelvad "$work" prog.qsm -.
  check_equal "$signal: next run's status" 0 "$status"
  check_text "$signal: next run expands the branch once" "$work/prog.qsm" "$small_rewritten"
done

# SIGKILL cannot be handled: the assembler goes on, but holds the folder's lock
# until it ends, so the next run waits for it and then expands the branch once.
slow_case KILL
kill -KILL "$pid"
wait "$pid"
rm "$work/slow"
# The orphan's run is the fake's first: the next run's pass is its third.
mv "$work/runs/2" "$work/runs/3"
run_kelvad "$work" prog.qsm -.
check_equal "KILL: next run's status" 0 "$status"
check_equal "KILL: next run waits" "kelvad: waiting for another run in this folder" "$(head -1 "$work.stderr")"
check_text "KILL: next run expands the branch once" "$work/prog.qsm" "$small_rewritten"
finish
