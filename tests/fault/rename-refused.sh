#!/usr/bin/env bash
# Sources where "tmpbra00" cannot be renamed over them: on another file system,
# in a directory that takes no new entry, and where nothing can be written.
# The text arrives with the permission bits kept, or error 1 keeps it in "tmpbra00".
# Usage: rename-refused.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"

skipped=0
skip() { echo "skipped: $*"; skipped=$((skipped + 1)); }

# --- on another file system: copied beside it and renamed there, in one step.
if make_shm_dir; then
  printf '%s' "$small_source" >"$shm/prog.qsm"
  chmod 640 "$shm/prog.qsm"
  before=$(inode_of "$shm/prog.qsm")
  work=$(new_case other-file-system "$shm/prog.qsm")
  run_kelvad "$work" prog.qsm -.
  check_equal "other file system: status" 0 "$status"
  check_text "other file system: source" "$shm/prog.qsm" "$small_rewritten"
  check_equal "other file system: permission bits" 640 "$(mode_of "$shm/prog.qsm")"
  check_equal "other file system: replaced as a new file" yes "$([ "$before" != "$(inode_of "$shm/prog.qsm")" ] && echo yes)"
  check_equal "other file system: nothing left beside it" "prog.qsm" "$(ls -A "$shm")"
  check_absent "other file system" "$work/tmpbra00"
else
  skip "no /dev/shm on another file system than $scratch"
fi

# --- a directory that takes no new entry: the text is written into the file.
work=$(new_case locked-directory locked/prog.qsm)
mkdir "$work/locked"
printf '%s' "$small_source" >"$work/locked/prog.qsm"
chmod 604 "$work/locked/prog.qsm"
before=$(inode_of "$work/locked/prog.qsm")
if chattr +i "$work/locked" 2>/dev/null; then
  run_kelvad "$work" prog.qsm -.
  chattr -i "$work/locked"
  check_equal "locked directory: status" 0 "$status"
  check_text "locked directory: source" "$work/locked/prog.qsm" "$small_rewritten"
  check_equal "locked directory: permission bits" 604 "$(mode_of "$work/locked/prog.qsm")"
  check_equal "locked directory: the same file" "$before" "$(inode_of "$work/locked/prog.qsm")"
  check_absent "locked directory" "$work/tmpbra00"
else
  skip "chattr +i is not possible on $scratch"
fi

# --- the file cannot be written either: error 1, the new text in "tmpbra00".
# expect_kept NAME WORK SOURCE_PATH
expect_kept() {
  run_kelvad "$2" prog.qsm -.
  check_equal "$1: status" 1 "$status"
  check_text "$1: message" "$2.stdout" " Error : Can't create file '$3'"$'\n\n'
  check_text "$1: source" "$2/$3" "$small_source"
  check_text "$1: tmpbra00" "$2/tmpbra00" "$small_rewritten"
}

work=$(new_case locked-file locked/prog.qsm)
mkdir "$work/locked"
printf '%s' "$small_source" >"$work/locked/prog.qsm"
if chattr +i "$work/locked/prog.qsm" 2>/dev/null && chattr +i "$work/locked" 2>/dev/null; then
  expect_kept "locked file" "$work" locked/prog.qsm
  chattr -i "$work/locked" "$work/locked/prog.qsm"
else
  chattr -i "$work/locked/prog.qsm" 2>/dev/null
  skip "chattr +i is not possible on $scratch"
fi

work=$(new_case read-only-mount ro/prog.qsm)
mkdir "$work/ro"
printf '%s' "$small_source" >"$work/ro/prog.qsm"
if mount --bind "$work/ro" "$work/ro" 2>/dev/null; then
  mounts+=("$work/ro")
  if mount -o remount,bind,ro "$work/ro" 2>/dev/null; then
    expect_kept "read-only mount" "$work" ro/prog.qsm
  else
    skip "a bind mount cannot be made read-only here"
  fi
  umount "$work/ro" && unset 'mounts[-1]'
else
  skip "no bind mounts here (needs root with CAP_SYS_ADMIN)"
fi

echo "skipped parts: $skipped"
finish
