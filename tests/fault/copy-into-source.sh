#!/usr/bin/env bash
# Sources that "tmpbra00" cannot be renamed over nor copied beside, so the new text
# is written into the source itself: a single file bind-mounted on its own, and a
# folder (on a small tmpfs out of inodes) that takes no new file. Each plainly, with
# Ctrl-C during the copy (held until it is done), with a full disk (found before the
# source is touched: error 1) and with the copy and its undoing failing (error 19,
# the old text in "tmpbra01"). Needs root for the mounts; skipped otherwise.
# Usage: copy-into-source.sh KELVAD FAKE INJECTOR
set -u
KELVAD=$1 FAKE=$2
injector=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
source "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

fs=$scratch/fs
mkdir "$fs"
if ! mount -t tmpfs -o size=256k,nr_inodes=16 kelvad-test "$fs" 2>/dev/null; then
  echo "skipped: mounting is not permitted here (needs root with CAP_SYS_ADMIN)"
  exit 0
fi
mounts+=("$fs")

# 1000 lines, every tenth a branch that the one pass lengthens: some 10 KB more.
awk 'BEGIN { for (i = 1; i <= 1000; i++)
  if (i % 10 == 0) printf "\tBEQ\tFAR\n"; else printf "\tLDA\t#%d\t; filler\n", i % 256 }' >"$scratch/old"
# tag_for NAME: the tag file reporting every branch of NAME.
tag_for() { awk -v f="$1" 'BEGIN { for (i = 10; i <= 1000; i += 10) printf "%s %d E18: x \"FAR\"\n", f, i }'; }
work=$(new_work reference)
cp "$scratch/old" "$work/prog.qsm"
mkdir -p "$work/runs/2" && tag_for prog.qsm >"$work/runs/2/tag"
run_kelvad "$work" prog.qsm -.
cp "$work/prog.qsm" "$scratch/new"

# A file bind-mounted on its own: renames over it fail with EBUSY.
mkdir "$fs/store"
setup_bind() {
  work=$(new_work "bind-$1")
  cp "$scratch/old" "$fs/store/prog.qsm"
  : >"$work/prog.qsm"
  mount --bind "$fs/store/prog.qsm" "$work/prog.qsm" && mounts+=("$work/prog.qsm")
  mkdir -p "$work/runs/2" && tag_for prog.qsm >"$work/runs/2/tag"
  source=$work/prog.qsm name=prog.qsm
}
undo_bind() { umount "$work/prog.qsm" && unset 'mounts[-1]'; }

# A folder on the tmpfs with every inode taken: no new file can go there.
mkdir "$fs/locked"
setup_locked() {
  work=$(new_work "locked-$1")
  cp "$scratch/old" "$fs/locked/prog.qsm"
  local n=0
  while : 2>/dev/null >"$fs/inode.$n"; do n=$((n + 1)); done
  mkdir -p "$work/runs/2" && tag_for "$fs/locked/prog.qsm" >"$work/runs/2/tag"
  source=$fs/locked/prog.qsm name=$fs/locked/prog.qsm
}
undo_locked() { rm -f "$fs"/inode.*; }

for setting in bind locked; do
  # Plainly: the source takes the new text and nothing is left behind.
  setup_$setting plain
  run_kelvad "$work" prog.qsm -.
  check_equal "$setting: status" 0 "$status"
  check_same_file "$setting: source" "$scratch/new" "$source"
  check_absent "$setting" "$work/tmpbra00"
  check_absent "$setting" "$work/tmpbra01"
  undo_$setting

  # Ctrl-C just before the first write into the source: it waits for the copy.
  setup_$setting interrupted
  (cd "$work" && LD_PRELOAD=$injector KELVAD_INTERRUPT_AT=2 exec -a kelvad "$kelvad" prog.qsm -.) >"$work.stdout" 2>/dev/null </dev/null
  check_equal "$setting, interrupted: status" 4 "$?"
  check_same_file "$setting, interrupted: source" "$scratch/new" "$source"
  check_absent "$setting, interrupted" "$work/tmpbra01"
  undo_$setting

  # A full disk: found before the source is touched. (The filler's inode comes first.)
  : >"$fs/fill"
  setup_$setting full
  dd if=/dev/zero of="$fs/fill" bs=4k 2>/dev/null
  run_kelvad "$work" prog.qsm -.
  rm -f "$fs/fill"
  check_equal "$setting, full disk: status" 1 "$status"
  check_text "$setting, full disk: message" "$work.stdout" " Error : Can't create file '$name'"$'\n\n'
  check_same_file "$setting, full disk: source" "$scratch/old" "$source"
  check_same_file "$setting, full disk: tmpbra00" "$scratch/new" "$work/tmpbra00"
  check_absent "$setting, full disk" "$work/tmpbra01"
  undo_$setting
done

# The copy fails and so does putting the old text back (every write from the
# third on: the first two are the source's name and its old text): error 19
# names the source, "tmpbra01" holds its old text.
setup_bind broken
(cd "$work" && LD_PRELOAD=$injector KELVAD_FAULT=write:3- exec -a kelvad "$kelvad" prog.qsm -.) >"$work.stdout" 2>/dev/null </dev/null
check_equal "copy and undoing fail: status" 1 "$?"
check_text "copy and undoing fail: message" "$work.stdout" \
  " Error : Can't rewrite file 'prog.qsm', its old text is kept in 'tmpbra01'"$'\n\n'
check_same_file "copy and undoing fail: tmpbra01" "$scratch/old" "$work/tmpbra01"
check_same_file "copy and undoing fail: tmpbra00" "$scratch/new" "$work/tmpbra00"
undo_bind

# A "tmpbra01" left behind may be the only copy of some source: it stays, and the copy is refused.
setup_bind stale
printf 'kept\n' >"$work/tmpbra01"
run_kelvad "$work" prog.qsm -.
check_equal "stale tmpbra01: status" 1 "$status"
check_same_file "stale tmpbra01: source" "$scratch/old" "$source"
check_text "stale tmpbra01: kept" "$work/tmpbra01" $'kept\n'
undo_bind
finish
