#!/usr/bin/env bash
# Makes each file operation of kelvad fail in turn (the N-th fopen, fread, fwrite,
# fclose, open, mkstemp, fdopen, rename, unlink, chmod, fchmod, through a preloaded
# library) during two passes over files here, on another file system and in a
# directory that takes no new file. Afterwards: status 0 with every file rewritten,
# or a numbered error with every file one of its complete versions (error 1 for a
# file written in place: its new text in "tmpbra00").
# Usage: inject.sh KELVAD FAKE INJECTOR [SAMPLES]   (calls tried per operation, default 12)
set -u
KELVAD=$1 FAKE=$2
injector=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
samples=${4:-12}
source "$(dirname "$0")/lib.sh"
# A sanitized kelvad would refuse a library loaded before its runtime.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

template=$scratch/template
mkdir -p "$template/runs/2" "$template/runs/3"
cp "$fake" "$template/torna"
files=(a.qsm)
make_shm_dir && files+=("$shm/b.qsm")
locked=""
mkdir -p "$scratch/probe" && if chattr +i "$scratch/probe" 2>/dev/null; then
  chattr -i "$scratch/probe"
  locked=locked
  files+=(locked/c.qsm)
fi
rmdir "$scratch/probe"

make_source() {
  awk 'BEGIN { for (i = 1; i <= 300; i++)
    if (i % 10 == 0) printf "\tBNE\tFAR\n"; else printf "\tLDA\t#%d\t; filler\n", i }' >"$1"
}
for file in "${files[@]}"; do
  case "$file" in /*) make_source "$file.orig" ;; *) mkdir -p "$template/$(dirname "$file")"; make_source "$template/$file" ;; esac
  # Pass 1 reports lines 150 to 300, pass 2 lines 10 to 140: their numbers hold.
  awk -v f="$file" 'BEGIN { for (i = 150; i <= 300; i += 30) printf "%s %d E18: x \"FAR\"\n", f, i }' >>"$template/runs/2/tag"
  awk -v f="$file" 'BEGIN { for (i = 10; i <= 140; i += 30) printf "%s %d E18: x \"FAR\"\n", f, i }' >>"$template/runs/3/tag"
done

# Every run locks the directory anew and unlocks it after.
lock() { [ -z "$locked" ] || chattr +i "$scratch/work/$locked"; }
unlock() { [ -z "$locked" ] || chattr -i "$scratch/work/$locked"; }

lay_out; lock; unlock
record_versions prog.qsm -.
lay_out
lock
(cd "$scratch/work" && LD_PRELOAD=$injector KELVAD_FAULT_LOG=$scratch/calls exec -a kelvad "$kelvad" prog.qsm -.) \
  >/dev/null 2>&1 </dev/null
status=$?
unlock
check_equal "counting run status" 0 "$status"
check_equal "counting run: the injector saw kelvad's calls" yes "$(grep -q '^fwrite [1-9]' "$scratch/calls" && echo yes)"

# The numbers of the calls to fail: all of a few, else the first and last ones and some between.
pick_numbers() {
  local count=$1
  if [ "$count" -le "$samples" ]; then
    seq 1 "$count"
    return
  fi
  { seq 1 3; seq $((count - 2)) "$count"
    for i in $(seq 1 $((samples - 6))); do echo $((count * i / (samples - 5))); done; } | sort -nu
}

injected=0
declare -A outcomes
while read -r call count; do
  for number in $(pick_numbers "$count"); do
    [ "$number" -ge 1 ] || continue
    injected=$((injected + 1))
    what="$call #$number of $count"
    lay_out
    lock
    (cd "$scratch/work" && LD_PRELOAD=$injector KELVAD_FAULT=$call:$number exec -a kelvad "$kelvad" prog.qsm -.) \
      >"$scratch/work.stdout" 2>/dev/null </dev/null
    status=$?
    unlock
    message=$(grep -m1 '^ Error : ' "$scratch/work.stdout")
    outcomes["status $status${message:+: $message}"]=$(( ${outcomes["status $status${message:+: $message}"]:-0} + 1 ))
    if [ "$status" -ne 0 ] && [ "$status" -ne 1 ] && [ "$status" -ne 3 ]; then
      fail "$what: status $status"
      continue
    fi
    [ "$status" -ne 0 ] && [ -z "$message" ] && fail "$what: status $status without a message"
    k=0
    for file in "${files[@]}"; do
      k=$((k + 1))
      path=$(path_of "$file")
      version=$(version_of "$k" "$path")
      # A tag file that cannot be opened ends the passes as a missing one does.
      if [ "$status" -eq 0 ] && [ "$call" != fopen ] && [ "$(md5sum <"$path" | cut -d' ' -f1)" != "${final[$k]}" ]; then
        fail "$what: status 0 but $file is not rewritten"
      elif [ -n "$version" ]; then
        pass
      elif [ "$message" == " Error : Can't create file '$file'" ] && [ -n "$(version_of "$k" "$scratch/work/tmpbra00")" ]; then
        pass  # written in place and failed: tmpbra00 keeps the text
      else
        fail "$what: $file is no complete version [$message]"
      fi
    done
    # Only a failed removal leaves "tmpbra00" after a clean end, holding a text put in place.
    if [ "$status" -eq 0 ] && [ "$call" != unlink ]; then
      check_absent "$what: after a clean end" "$scratch/work/tmpbra00"
    fi
  done
done <"$scratch/calls"

echo "faults injected: $injected; outcomes:"
for outcome in "${!outcomes[@]}"; do echo "  ${outcomes[$outcome]} x $outcome"; done | sort -k3
finish
