#!/usr/bin/env bash
# "tmpbra00" left from an earlier run: a file is replaced, a link is never
# followed, a directory stops the run with error 2 and status 1.
# Usage: leftover-temp.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"

# Whatever stands under the name, a run that can create the file rewrites the
# source and leaves no "tmpbra00".
expect_rewritten() {
  local name=$1 work=$2
  run_kelvad "$work" prog.qsm -.
  check_equal "$name: status" 0 "$status"
  check_text "$name: source" "$work/prog.qsm" "$small_rewritten"
  check_absent "$name" "$work/tmpbra00"
}

work=$(new_case regular-file)
printf 'stale text of an earlier run\n' >"$work/tmpbra00"
expect_rewritten "regular file" "$work"

work=$(new_case hard-link)
printf 'keep\n' >"$work/keep.txt"
ln "$work/keep.txt" "$work/tmpbra00"
expect_rewritten "hard link" "$work"
check_text "hard link: the other name's file" "$work/keep.txt" $'keep\n'

work=$(new_case link-to-file)
printf 'victim\n' >"$work/victim.txt"
ln -s victim.txt "$work/tmpbra00"
expect_rewritten "link to a file" "$work"
check_text "link to a file: its target" "$work/victim.txt" $'victim\n'

work=$(new_case dangling-link)
ln -s would-be-created "$work/tmpbra00"
expect_rewritten "dangling link" "$work"
check_absent "dangling link: its target" "$work/would-be-created"

work=$(new_case link-to-directory)
mkdir "$work/elsewhere"
ln -s elsewhere "$work/tmpbra00"
expect_rewritten "link to a directory" "$work"
check_equal "link to a directory: the directory stays empty" "" "$(ls -A "$work/elsewhere")"

work=$(new_case fifo)
mkfifo "$work/tmpbra00"
expect_rewritten "fifo" "$work"

work=$(new_case directory)
mkdir "$work/tmpbra00"
printf 'x\n' >"$work/tmpbra00/keep"
run_kelvad "$work" prog.qsm -.
check_equal "directory: status" 1 "$status"
check_text "directory: message" "$work.stdout" $' Error : Can\'t create Tmporary file\n\n'
check_text "directory: source" "$work/prog.qsm" "$small_source"
check_text "directory: its content" "$work/tmpbra00/keep" $'x\n'

finish
