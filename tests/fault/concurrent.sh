#!/usr/bin/env bash
# Two runs in one folder at once, as `make -j2` starts them over two programs:
# they share "tmpbra00", so the second waits for the first; each program must
# end with its own new text, both with status 0, every repetition.
# Runs the stand-in assembler. Usage: concurrent.sh KELVAD TORNA [REPETITIONS]
set -u
KELVAD=$1 FAKE=$2
repetitions=${3:-20}
source "$(dirname "$0")/lib.sh"

# program PREFIX BRANCH BLOCKS GAP: a source whose every branch jumps over a gap
# just out of reach, with comment lines enough that the rewrites take a while.
program() {
  awk -v p="$1" -v word="$2" -v n="$3" -v gap="$4" 'BEGIN {
    print "\tORG\t$1000"
    for (i = 0; i < n; i++) {
      printf "%s%d:\t%s\t%s%d\t; block %d\n", p, i, word, p, i + 1, i
      print "\tDS\t" gap
      for (j = 0; j < 40; j++) printf "; filler %d of block %d\n", j, i
    }
    printf "%s%d:\tRTS\n", p, n
  }'
}

new_pair() {
  local work
  work=$(new_work "$1")
  program A BEQ 300 130 >"$work/a.qsm"
  program B BNE 280 140 >"$work/b.qsm"
  echo "$work"
}

# Each program alone: the text it must end with.
for name in a b; do
  work=$(new_pair "alone-$name")
  run_kelvad "$work" "$name.qsm" -.
  check_equal "$name alone: status" 0 "$status"
  cp "$work/$name.qsm" "$scratch/$name.expected"
  cp "$work.stdout" "$scratch/$name.messages"
done
if cmp -s "$scratch/a.expected" "$work/a.qsm"; then
  fail "the programs are not rewritten at all: nothing to compare"
fi

for ((round = 1; round <= repetitions; round++)); do
  work=$(new_pair "together-$round")
  (cd "$work" && exec -a kelvad "$kelvad" a.qsm -.) >"$work.a.stdout" 2>/dev/null </dev/null &
  first=$!
  (cd "$work" && exec -a kelvad "$kelvad" b.qsm -.) >"$work.b.stdout" 2>/dev/null </dev/null &
  second=$!
  wait "$first"; status_a=$?
  wait "$second"; status_b=$?
  check_equal "round $round: status of a" 0 "$status_a"
  check_equal "round $round: status of b" 0 "$status_b"
  check_same_file "round $round: messages of a" "$scratch/a.messages" "$work.a.stdout"
  check_same_file "round $round: messages of b" "$scratch/b.messages" "$work.b.stdout"
  check_same_file "round $round: a.qsm" "$scratch/a.expected" "$work/a.qsm"
  check_same_file "round $round: b.qsm" "$scratch/b.expected" "$work/b.qsm"
  check_absent "round $round" "$work/tmpbra00"
done
# A "tmpbra00" put in place of this run's own while it writes (by a program that
# takes no lock) is not renamed over the source: error 2, status 3, the source
# and the other file as they were.
work=$(new_work intruder)
program A BEQ 300 130 >"$work/a.qsm"
awk 'BEGIN { for (i = 0; i < 100000; i++) printf "; filler line %d, long enough to take a while\n", i }' >>"$work/a.qsm"
cp "$work/a.qsm" "$scratch/a.before"
run_with_intruder "$work" a.qsm -. -COUNT1
check_intruder 3 " Error : Can't create Tmporary file" "$scratch/a.before" "$work/a.qsm"
finish
