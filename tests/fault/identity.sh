#!/usr/bin/env bash
# Files known by what they are: special files refused before anything is read,
# a file with nothing handled left the very same file, a linked source's file
# rewritten with the link kept, owner and group kept, hard links as decided.
# Usage: identity.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"

skipped=0
skip() { echo "skipped: $*"; skipped=$((skipped + 1)); }

# tag_lines WORK LINES...: the pass-1 tag file reports line 2 of each name.
tag_lines() {
  local work=$1 name
  shift
  for name in "$@"; do
    printf '%s 2 E18: branch out of range "FAR"\n' "$name"
  done >"$work/runs/2/tag"
}

kind_of() { stat -c %F "$1"; }

# --- special files: refused with error 3 before any file is read or rewritten.
# A FIFO would block the scan, so every run has a time limit.
# expect_refused WHAT WORK NAME
expect_refused() {
  tag_lines "$2" prog.qsm "$3"
  (cd "$2" && exec -a kelvad timeout 20 "$kelvad" prog.qsm -.) >"$2.stdout" 2>/dev/null </dev/null
  status=$?
  check_equal "$1: status" 1 "$status"
  check_text "$1: message" "$2.stdout" " Error : Can't open file '$3'"$'\n\n'
  check_text "$1: the other source untouched" "$2/prog.qsm" "$small_source"
  check_absent "$1" "$2/tmpbra00"
}

if mknod "$scratch/probe" c 1 3 2>/dev/null; then
  rm -f "$scratch/probe"
  work=$(new_case device-node)
  mknod "$work/dev.qsm" c 1 3
  expect_refused "device node" "$work" dev.qsm
  check_equal "device node: still a device" "character special file" "$(kind_of "$work/dev.qsm")"

  # A link to the node made here first: only when that is refused does a link to
  # /dev/null follow, so a regression cannot replace the system's own device.
  work=$(new_case link-to-device-node)
  mknod "$work/dev" c 1 3
  ln -s dev "$work/link.qsm"
  expect_refused "link to a device node" "$work" link.qsm
  if [ "$failures" -eq 0 ]; then
    work=$(new_case link-to-dev-null)
    ln -s /dev/null "$work/null.qsm"
    expect_refused "link to /dev/null" "$work" null.qsm
    check_equal "link to /dev/null: still a link" "symbolic link" "$(kind_of "$work/null.qsm")"
    check_equal "/dev/null: still a device" "character special file" "$(kind_of /dev/null)"
  else
    skip "the link to /dev/null, since a link to a device node was not refused"
  fi
else
  skip "mknod is not allowed here (needs root)"
fi

work=$(new_case fifo)
mkfifo "$work/pipe.qsm"
expect_refused "FIFO" "$work" pipe.qsm
check_equal "FIFO: still a FIFO" "fifo" "$(kind_of "$work/pipe.qsm")"

work=$(new_case directory)
mkdir "$work/folder.qsm"
expect_refused "directory" "$work" folder.qsm

# --- a listed file whose only error lies past its end is not rewritten at all.
work=$(new_case nothing-handled)
printf '\tNOP\n' >"$work/short.qsm"
before=$(inode_of "$work/short.qsm")
printf 'prog.qsm 2 E18: branch out of range "FAR"\nshort.qsm 9 E18: branch out of range "FAR"\n' >"$work/runs/2/tag"
run_kelvad "$work" prog.qsm -.
check_equal "nothing handled: status" 0 "$status"
check_text "nothing handled: the other file rewritten" "$work/prog.qsm" "$small_rewritten"
check_text "nothing handled: text" "$work/short.qsm" $'\tNOP\n'
check_equal "nothing handled: the same file" "$before" "$(inode_of "$work/short.qsm")"

# --- a source reached through links (a chain, in another folder): the file at
# the end gets the new text, beside itself; the links stay links.
work=$(new_case linked-source)
mkdir "$work/real"
mv "$work/prog.qsm" "$work/real/prog.qsm"
chmod 640 "$work/real/prog.qsm"
ln -s real/prog.qsm "$work/middle.qsm"
ln -s middle.qsm "$work/prog.qsm"
run_kelvad "$work" prog.qsm -.
check_equal "linked source: status" 0 "$status"
check_text "linked source: the file rewritten" "$work/real/prog.qsm" "$small_rewritten"
check_equal "linked source: permission bits" 640 "$(mode_of "$work/real/prog.qsm")"
check_equal "linked source: the link" "real/prog.qsm middle.qsm" \
  "$(readlink "$work/middle.qsm") $(readlink "$work/prog.qsm")"
check_equal "linked source: nothing left beside it" "prog.qsm" "$(ls -A "$work/real")"
check_absent "linked source" "$work/tmpbra00"

# --- owner and group of another user's file stay when root rewrites it.
if [ "$(id -u)" -eq 0 ]; then
  work=$(new_case owner-kept)
  chown 12345:23456 "$work/prog.qsm"
  chmod 2640 "$work/prog.qsm"
  run_kelvad "$work" prog.qsm -.
  check_equal "owner kept: status" 0 "$status"
  check_text "owner kept: source" "$work/prog.qsm" "$small_rewritten"
  check_equal "owner kept: owner, group and bits" "12345:23456 2640" "$(stat -c %u:%g\ %a "$work/prog.qsm")"
  if make_shm_dir; then
    printf '%s' "$small_source" >"$shm/prog.qsm"
    chown 12345:23456 "$shm/prog.qsm"
    work=$(new_case owner-kept-other-file-system "$shm/prog.qsm")
    run_kelvad "$work" prog.qsm -.
    check_equal "owner kept, other file system: status" 0 "$status"
    check_text "owner kept, other file system: source" "$shm/prog.qsm" "$small_rewritten"
    check_equal "owner kept, other file system: owner" "12345:23456" "$(stat -c %u:%g "$shm/prog.qsm")"
  else
    skip "no /dev/shm on another file system than $scratch"
  fi
else
  skip "owner and group: only root can give a file to another user"
fi

# --- hard links: only the named link gets the new text, in one step; the
# other names keep the old text. Two listed names of one file: one rewrite.
work=$(new_case hard-link)
ln "$work/prog.qsm" "$work/copy.qsm"
tag_lines "$work" prog.qsm copy.qsm
run_kelvad "$work" prog.qsm -.
check_equal "hard link: status" 0 "$status"
check_text "hard link: the named link" "$work/prog.qsm" "$small_rewritten"
check_text "hard link: the other name" "$work/copy.qsm" "$small_source"
check_equal "hard link: two files now" "1 1" "$(stat -c %h "$work/prog.qsm") $(stat -c %h "$work/copy.qsm")"

echo "skipped parts: $skipped"
finish
