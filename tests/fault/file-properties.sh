#!/usr/bin/env bash
# A replaced source keeps its access control list, its user attributes and its
# file flags, renamed in one step or copied beside it on another file system: a
# list granting daemon rw on a file of mode 640 stays as it was, and the group
# bits (the list's mask) grant the owning group nothing more. A source without a
# list gets none from its folder's default list. Needs setfacl, setfattr and a
# file system that takes them; skipped where not.
# Usage: file-properties.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"
for tool in setfacl getfacl setfattr getfattr; do
  command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done

# properties FILE: what must survive, one line each.
properties() {
  stat -c '%a %U %G' "$1"
  getfacl -cp "$1" 2>/dev/null
  getfattr -d --absolute-names -m '^user\.' "$1" 2>/dev/null | tail -n +2
  lsattr -d "$1" 2>/dev/null | cut -d' ' -f1
}

# check_kept WHAT DIR SOURCE_PATH [ARGS...]: gives SOURCE_PATH a list, an attribute
# and the no-dump flag, runs kelvad in DIR, and compares.
check_kept() {
  local what=$1 work=$2 source=$3
  shift 3
  chmod 640 "$source"
  if ! setfacl -m u:daemon:rw "$source" 2>/dev/null || ! setfattr -n user.origin -v kept "$source" 2>/dev/null; then
    echo "skipped $what: the file system takes no access control lists or user attributes"
    return
  fi
  chattr +d "$source" 2>/dev/null
  local before
  before=$(properties "$source")
  run_kelvad "$work" "$@"
  check_equal "$what: status" 0 "$status"
  check_text "$what: text" "$source" "$small_rewritten"
  check_equal "$what: properties" "$before" "$(properties "$source")"
  check_equal "$what: owning group" "group::r--" "$(getfacl -cp "$source" | grep '^group::')"
}

work=$(new_case renamed)
check_kept "renamed" "$work" "$work/prog.qsm" prog.qsm -.

if make_shm_dir; then
  work=$(new_case beside "$shm/prog.qsm")
  printf '\tNOP\n' >"$work/main.qsm"
  printf '%s' "$small_source" >"$shm/prog.qsm"
  check_kept "beside" "$work" "$shm/prog.qsm" main.qsm -. -COUNT1
fi

# A folder whose default list grants daemon write: the new file, made there, would
# take it over; a source without a list must not gain one.
work=$(new_case default-list)
if setfacl -d -m u:daemon:rwx "$work" 2>/dev/null; then
  printf '%s' "$small_source" >"$scratch/plain.qsm" && mv "$scratch/plain.qsm" "$work/prog.qsm"
  chmod 640 "$work/prog.qsm"
  before=$(properties "$work/prog.qsm")
  run_kelvad "$work" prog.qsm -.
  check_equal "default list: status" 0 "$status"
  check_equal "default list: properties" "$before" "$(properties "$work/prog.qsm")"
fi
finish
