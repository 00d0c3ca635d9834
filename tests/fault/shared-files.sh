#!/usr/bin/env bash
# Programs of several files changed from more than one place. Two builds in two
# folders that share an include (-I../common) run at once, one assembler made
# slow so that the runs overlap: the shared file must end as one run alone
# leaves it, each main file as its run alone leaves it (label numbers aside),
# and both programs must assemble without an error; a run may instead stop with
# error 22, never end with 0 over a broken program. Then an editor saves a new
# line above the reported branch while the assembler runs: the new line is
# kept as typed and the branch below it is repaired.
# Runs the stand-in assembler. Usage: shared-files.sh KELVAD TORNA [REPETITIONS]
set -u
KELVAD=$1 FAKE=$2
repetitions=${3:-12}
source "$(dirname "$0")/lib.sh"

changed_message="^ Error : File '.*' has changed since 'torna' read it$"

# lay_out_shared NAME: NAME/common/shared.inc, and NAME/p1, NAME/p2 whose programs include it.
lay_out_shared() {
  local top=$scratch/$1
  rm -rf "$top"
  mkdir -p "$top/common" "$top/p1" "$top/p2"
  printf 'SHARED:\tLDA\t#1\n\tBEQ\tSFAR\n\tDS\t130\nSFAR:\tRTS\n' >"$top/common/shared.inc"
  printf '\tORG\t$1000\n\tBNE\tP1FAR\n\tDS\t130\nP1FAR:\tJSR\tSHARED\n\tRTS\n\tINCLUDE\t"shared.inc"\n' >"$top/p1/prog.qsm"
  # p2 holds labels of an earlier run: its numbers differ from p1's.
  printf '\tORG\t$2000\n..lop6:\n\tBCC\tP2FAR\n\tDS\t140\nP2FAR:\tJSR\tSHARED\n\tRTS\n\tINCLUDE\t"shared.inc"\n' >"$top/p2/prog.qsm"
  cp "$fake" "$top/p1/torna"
  cp "$fake" "$top/p2/torna"
  echo "$top"
}

# slow_assembler DIR SECONDS: ./torna in DIR assembles at once, then takes SECONDS to end,
# so that another run may change the files it has read before this run reads its report.
slow_assembler() {
  mv "$1/torna" "$1/realtorna"
  printf '#!/bin/sh\n./realtorna "$@"\nstatus=$?\nsleep %s\nexit $status\n' "$2" >"$1/torna"
  chmod +x "$1/torna"
}

# kelvad_in DIR: kelvad as a build runs it there; output in DIR.out, status in DIR.status.
kelvad_in() {
  (cd "$1" && exec -a kelvad "$kelvad" -. prog.qsm -I../common) >"$1.out" 2>/dev/null </dev/null
  echo $? >"$1.status"
}

# check_assembles WHAT DIR: the program in DIR assembles without an error (no label
# defined twice, no branch out of reach).
check_assembles() {
  local out
  out=$(cd "$2" && "$fake" -. -I../common prog.qsm 2>&1)
  if [ $? -eq 0 ] && [[ $out == *"0 errors"* ]]; then pass; else fail "$1: does not assemble: $out"; fi
}

# The text with every generated label number made alike.
without_numbers() { sed -E 's/\.\.lop[0-9]+/..lopN/g' "$1"; }

check_run_end() {
  local what=$1 dir=$2 status
  status=$(cat "$dir.status")
  if [ "$status" == 0 ]; then
    pass
  elif [ "$status" == 1 ] && grep -q "$changed_message" "$dir.out"; then
    stopped=$((stopped + 1))
    pass
  else
    fail "$what: status $status: $(grep Error "$dir.out")"
  fi
}

# Each program alone: what the shared file and its main file must end as.
for p in p1 p2; do
  top=$(lay_out_shared "alone-$p")
  kelvad_in "$top/$p"
  check_equal "$p alone: status" 0 "$(cat "$top/$p.status")"
  cp "$top/common/shared.inc" "$scratch/shared.$p"
  without_numbers "$top/$p/prog.qsm" >"$scratch/main.$p"
done
if cmp -s "$scratch/shared.p1" "$scratch/shared.p2"; then
  fail "the two runs alone leave the shared file alike: nothing to tell them apart"
fi

stopped=0
for ((round = 1; round <= repetitions; round++)); do
  top=$(lay_out_shared "together-$round")
  slow_assembler "$top/p1" 0.4
  kelvad_in "$top/p1" &
  first=$!
  # The second start moves through the first run's passes from round to round.
  sleep "$(awk -v r="$round" 'BEGIN { printf "%.2f", (r % 6) * 0.15 }')"
  kelvad_in "$top/p2" &
  wait "$first" $!
  check_run_end "round $round: p1" "$top/p1"
  check_run_end "round $round: p2" "$top/p2"
  if cmp -s "$top/common/shared.inc" "$scratch/shared.p1" || cmp -s "$top/common/shared.inc" "$scratch/shared.p2"; then
    pass
  else
    fail "round $round: the shared file is as no run alone leaves it"
  fi
  for p in p1 p2; do
    if [ "$(cat "$top/$p.status")" == 0 ]; then
      without_numbers "$top/$p/prog.qsm" >"$top/$p.main"
      check_same_file "round $round: $p/prog.qsm" "$scratch/main.$p" "$top/$p.main"
      check_assembles "round $round: $p" "$top/$p"
    fi
  done
done
echo "$stopped of $((2 * repetitions)) runs stopped with error 22"

# An editor saves the source, one line more above the reported branch, while the
# pass's assembler runs: in place, or by renaming a new file over it.
source_text=$'\tORG\t$1000\nSTART:\tLDA\t#0\n\tBEQ\tFAR\n\tDS\t130\nFAR:\tRTS\n'
edited_text=$'\tORG\t$1000\nSTART:\tLDA\t#0\n\tBNE\tSTART\n\tBEQ\tFAR\n\tDS\t130\nFAR:\tRTS\n'
repaired_text=$'\tORG\t$1000\nSTART:\tLDA\t#0\n\tBNE\tSTART\n\tBNE\t..lop1\t'"$generated"$'\n\tJMP\tFAR\t'"$generated"$'\n..lop1:\n\tDS\t130\nFAR:\tRTS\n'
for save in in-place rename; do
  work=$(new_work "editor-$save")
  printf '%s' "$source_text" >"$work/prog.qsm"
  mv "$work/torna" "$work/realtorna"
  printf '%s' "$edited_text" >"$work/edited"
  if [ "$save" == in-place ]; then put='cat edited >prog.qsm'; else put='cp edited new && mv new prog.qsm'; fi
  # The second run is the first pass: the editor saves after the assembler has read the source.
  printf '#!/bin/sh\n./realtorna "$@"\nstatus=$?\nn=$(( $(cat runs 2>/dev/null || echo 0) + 1 )); echo $n >runs\n[ $n -eq 2 ] && { %s; }\nexit $status\n' "$put" >"$work/torna"
  chmod +x "$work/torna"
  run_kelvad "$work" -. prog.qsm
  check_equal "editor ($save): status" 0 "$status"
  check_text "editor ($save): the source" "$work/prog.qsm" "$repaired_text"
  check_equal "editor ($save): assembler runs" 4 "$(cat "$work/runs")"
done
finish
