#!/usr/bin/env bash
# SIGINT (as Ctrl-C sends it, to the whole process group) while the assembler
# runs and while a file is rewritten: "\n", status 4, "tmpbra00" left in place,
# every source intact.
# Usage: interrupt.sh KELVAD FAKE [TRIES]   (tries at hitting a rewrite, default 5)
set -u
KELVAD=$1 FAKE=$2
tries=${3:-5}
source "$(dirname "$0")/lib.sh"

# start_kelvad WORK ARGS...: kelvad in the background in a process group of its own.
start_kelvad() {
  local work=$1
  shift
  set -m
  (cd "$work" && exec -a kelvad "$kelvad" "$@") >"$work.stdout" 2>"$work.stderr" </dev/null &
  pid=$!
  set +m
}

# interrupt_when WORK TEST: sends SIGINT to the group once `test` holds (30 s at most).
interrupt_when() {
  local deadline=$((SECONDS + 30))
  until eval "$2"; do
    [ "$SECONDS" -ge "$deadline" ] && break
  done
  kill -INT -- "-$pid" 2>/dev/null
  wait "$pid"
  status=$?
  kill -KILL -- "-$pid" 2>/dev/null
}

# --- while the assembler runs its second pass, after the first pass rewrote the source.
work=$(new_case during-assembler-run)
mkdir -p "$work/runs/3"
echo 30 >"$work/runs/3/sleep"
start_kelvad "$work" prog.qsm -.
interrupt_when "$work" '[ "$(cat "$work/torna.count" 2>/dev/null)" == 3 ]'
check_equal "assembler run: status" 4 "$status"
check_text "assembler run: stdout" "$work.stdout" $'\n'
check_text "assembler run: source as the first pass left it" "$work/prog.qsm" "$small_rewritten"

# --- during the first run, with a "tmpbra00" of an earlier run: it stays.
work=$(new_case during-first-run)
printf 'earlier\n' >"$work/tmpbra00"
mkdir -p "$work/runs/1"
echo 30 >"$work/runs/1/sleep"
start_kelvad "$work" prog.qsm -.
interrupt_when "$work" '[ -f "$work/torna.count" ]'
check_equal "first run: status" 4 "$status"
check_text "first run: stdout" "$work.stdout" $'\n'
check_text "first run: source" "$work/prog.qsm" "$small_source"
check_text "first run: tmpbra00 of the earlier run" "$work/tmpbra00" $'earlier\n'

# --- while a large file is rewritten: the signal goes as soon as "tmpbra00"
# appears. The rewrite may still win the race; then it is tried again.
lines=400000
source_file=$scratch/large.qsm
awk -v n="$lines" 'BEGIN { for (i = 1; i <= n; i++)
  if (i % 10 == 0) printf "\tBEQ\tFAR\n"; else printf "\tLDA\t#%d\t; filler line %d\n", i % 256, i }' >"$source_file"
# large_case NAME: a work directory with the large source, every branch reported.
large_case() {
  local work
  work=$(new_work "$1")
  cp "$source_file" "$work/prog.qsm"
  mkdir -p "$work/runs/2"
  awk -v n="$lines" 'BEGIN { for (i = 10; i <= n; i += 10) printf "prog.qsm %d E18: branch out of range \"FAR\"\n", i }' \
    >"$work/runs/2/tag"
  echo "$work"
}
reference=$(large_case reference)
run_kelvad "$reference" prog.qsm -.
check_equal "rewrite without interrupt: status" 0 "$status"
rewritten=$reference/prog.qsm
hit=0
for try in $(seq 1 "$tries"); do
  work=$(large_case "during-rewrite-$try")
  start_kelvad "$work" prog.qsm -.
  interrupt_when "$work" '[ -e "$work/tmpbra00" ]'
  if [ "$status" -eq 0 ]; then
    echo "try $try: the rewrite ended before the interrupt came"
    continue
  fi
  check_equal "rewrite: status" 4 "$status"
  check_text "rewrite: stdout" "$work.stdout" $'\n'
  if cmp -s "$rewritten" "$work/prog.qsm"; then
    echo "try $try: the interrupt came after the source was replaced"
    continue
  fi
  if cmp -s "$source_file" "$work/prog.qsm"; then
    pass
    # What was written so far stays, and it is the start of the new text.
    check_present "rewrite: tmpbra00" "$work/tmpbra00"
    size=$(stat -c %s "$work/tmpbra00")
    if [ "$size" -lt "$(stat -c %s "$rewritten")" ] && cmp -s -n "$size" "$work/tmpbra00" "$rewritten"; then
      pass
    else
      fail "rewrite: tmpbra00 ($size bytes) is not the start of the new text"
    fi
    hit=1
    break
  fi
  fail "rewrite: the source is neither its old nor its new text after an interrupt"
done
check_equal "an interrupt landed during a rewrite" 1 "$hit"

finish
