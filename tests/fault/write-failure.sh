#!/usr/bin/env bash
# Writes, reads and memory that fail: "tmpbra00" under a file-size limit (the
# tool ignores SIGXFSZ, so such a write fails with an error instead of a signal),
# a source line too long for a memory limit, and sources that cannot be read.
# Error and status as documented, every source unchanged.
# Usage: write-failure.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"

# A source of some 40 KB with a branch on line 2, so "tmpbra00" passes 8 KB.
big_source=$small_source$(awk 'BEGIN { for (i = 1; i <= 2000; i++) printf "\tLDA\t#%d\t; filler\\n", i % 256 }')
big_source=$(printf '%b' "$big_source"; echo x)
big_source=${big_source%x}

# run_limited WORK BLOCKS ARGS...: run_kelvad under a file-size limit of BLOCKS KB.
run_limited() {
  local work=$1 blocks=$2
  shift 2
  (cd "$work" && ulimit -f "$blocks" && exec -a kelvad "$kelvad" "$@") \
    >"$work.stdout" 2>"$work.stderr" </dev/null
  status=$?
}

for blocks in 1 8; do
  work=$(new_case "size-limit-$blocks")
  printf '%s' "$big_source" >"$work/prog.qsm"
  run_limited "$work" "$blocks" prog.qsm -.
  check_equal "limit ${blocks} KB: status" 3 "$status"
  check_text "limit ${blocks} KB: message" "$work.stdout" $' Error : Can\'t create Tmporary file\n\n'
  check_text "limit ${blocks} KB: source" "$work/prog.qsm" "$big_source"
  # The stream was closed when its error showed, so the partial file stays.
  check_present "limit ${blocks} KB: tmpbra00" "$work/tmpbra00"
done

# The same with "+nodelete" and the trace file: nothing else changes.
work=$(new_case size-limit-trace)
printf '%s' "$big_source" >"$work/prog.qsm"
run_limited "$work" 8 prog.qsm -. +nodelete
check_equal "limit with +nodelete: status" 3 "$status"
check_text "limit with +nodelete: source" "$work/prog.qsm" "$big_source"

# A second source that fails while the first is already rewritten: the first
# keeps its new text, the second its old.
work=$(new_work size-limit-second-file)
printf '%s' "$small_source" >"$work/prog.qsm"
printf '%s' "$big_source" >"$work/big.qsm"
mkdir -p "$work/runs/2"
printf 'prog.qsm 2 E18: branch out of range "FAR"\nbig.qsm 2 E18: branch out of range "FAR"\n' >"$work/runs/2/tag"
run_limited "$work" 8 prog.qsm -.
check_equal "second file fails: status" 3 "$status"
check_text "second file fails: first file" "$work/prog.qsm" "$small_rewritten"
check_text "second file fails: second file" "$work/big.qsm" "$big_source"

# Memory runs out on a 60 MB branch line under a 100 MB address-space limit:
# error 10, status 3, the source unchanged and no "tmpbra00" left.
work=$(new_case out-of-memory)
if (ulimit -v 100000 && "$kelvad" -V >/dev/null 2>&1) 2>/dev/null; then
  { printf '\tNOP\n\tBEQ\tFAR\t;'; head -c 60000000 /dev/zero | tr '\0' x; printf '\n'; } >"$work/prog.qsm"
  sum=$(md5sum <"$work/prog.qsm")
  (cd "$work" && ulimit -v 100000 && exec -a kelvad "$kelvad" prog.qsm -.) >"$work.stdout" 2>"$work.stderr" </dev/null
  check_equal "out of memory: status" 3 "$?"
  check_text "out of memory: message" "$work.stdout" $' Error : Not enough memory\n\n'
  check_equal "out of memory: source" "$sum" "$(md5sum <"$work/prog.qsm")"
  check_absent "out of memory" "$work/tmpbra00"
  rm -f "$work/prog.qsm"
else
  echo "skipped: the tool does not start under a 100 MB address-space limit (a sanitizer build)"
fi

# A source that is a directory is refused before it is opened: error 3, status 1.
work=$(new_case source-is-directory lib.qsm)
mkdir "$work/lib.qsm"
printf 'x\n' >"$work/lib.qsm/keep"
run_kelvad "$work" prog.qsm -.
check_equal "directory source: status" 1 "$status"
check_text "directory source: message" "$work.stdout" $' Error : Can\'t open file \'lib.qsm\'\n\n'
check_text "directory source: its content" "$work/lib.qsm/keep" $'x\n'
check_text "directory source: the other source" "$work/prog.qsm" "$small_source"
check_absent "directory source" "$work/tmpbra00"

# A tag file that is a directory: the same read error.
work=$(new_work tag-is-directory)
printf '%s' "$small_source" >"$work/prog.qsm"
# (not empty, so the fake cannot remove it as it removes a tag file it has no script for)
mkdir -p "$work/runs/2/files/prog.tag" && : >"$work/runs/2/files/prog.tag/x"
run_kelvad "$work" prog.qsm -.
check_equal "directory tag file: status" 3 "$status"
check_text "directory tag file: message" "$work.stdout" $' Error : Not enough memory\n\n'
check_text "directory tag file: source" "$work/prog.qsm" "$small_source"

finish
