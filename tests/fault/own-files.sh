#!/usr/bin/env bash
# The trace file and "tmpbra00" are files of the run's own: a "kelvad.ifo" that is a
# hard or symbolic link to a source is replaced, never written through; a run
# waiting for the lock leaves the trace of the run before it alone; and a fatal
# exit removes only the "tmpbra00" it wrote, not one another program put there.
# Usage: own-files.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"

trace_head=$'===== kelvad ======\n\tV.1.00.00\nargment : +info -----------------------'
for link in hard symbolic; do
  work=$(new_case "trace-$link")
  printf 'other text\n' >"$work/other.qsm"
  if [ $link == hard ]; then ln "$work/prog.qsm" "$work/kelvad.ifo"; ln "$work/other.qsm" "$work/keep.ifo"
  else ln -s other.qsm "$work/kelvad.ifo"; fi
  run_kelvad "$work" prog.qsm -. +info
  check_equal "$link link: status" 0 "$status"
  check_text "$link link: source" "$work/prog.qsm" "$small_rewritten"
  check_text "$link link: other file" "$work/other.qsm" $'other text\n'
  if [ -L "$work/kelvad.ifo" ] || [ "$(stat -c %h "$work/kelvad.ifo")" != 1 ]; then
    fail "$link link: kelvad.ifo is still a link"
  else
    pass
  fi
  check_equal "$link link: trace" "$trace_head" "$(head -3 "$work/kelvad.ifo")"
done

# A second run waiting for the lock: the first run's trace stays as it writes it.
work=$(new_case waiting)
mkdir -p "$work/runs/1" && echo 3 >"$work/runs/1/sleep"
(cd "$work" && exec -a kelvad "$kelvad" prog.qsm -. +info) >"$work.a.stdout" 2>/dev/null </dev/null &
first=$!
until [ -s "$work/torna.count" ]; do sleep 0.05; done
(cd "$work" && exec -a kelvad "$kelvad" -. +info prog.qsm) >"$work.b.stdout" 2>"$work.b.stderr" </dev/null &
second=$!
for _ in $(seq 100); do grep -q waiting "$work.b.stderr" 2>/dev/null && break; sleep 0.02; done
check_equal "waiting run: first run's trace" "argment : +info -----------------------" \
  "$(sed -n 3p "$work/kelvad.ifo")"
check_equal "waiting run: says so" "kelvad: waiting for another run in this folder" "$(head -1 "$work.b.stderr")"
wait "$first" "$second"

# A fatal error late in a rewrite (error 13 at the one branch, after 100,000 lines
# copied) while another program has put its own "tmpbra00" in place of the run's.
work=$(new_work intruder)
{ printf '..lop65535:\n'
  awk 'BEGIN { for (i = 0; i < 100000; i++) printf "; filler line %d, long enough to take a while\n", i }'
  printf '\tBEQ\tFAR\n'; } >"$work/prog.qsm"
cp "$work/prog.qsm" "$scratch/intruder.before"
mkdir -p "$work/runs/2" && printf 'prog.qsm 100002 E18: x "FAR"\n' >"$work/runs/2/tag"
run_with_intruder "$work" prog.qsm -. -COUNT1
check_intruder 1 " Error : Too many branch error" "$scratch/intruder.before" "$work/prog.qsm"
finish
