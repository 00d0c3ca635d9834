#!/usr/bin/env bash
# A source on another file system gets its new text copied beside it first. Killed
# runs leave at most one such copy in its folder, which the next copy there takes
# over: runs killed at each write in turn leave no pile, and a run that
# gets through leaves none. Needs strace and /dev/shm on another file system.
# Usage: beside-leftover.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"
command -v strace >/dev/null || { echo "skipped: strace is not installed"; exit 0; }
# LeakSanitizer cannot work under ptrace: in a sanitizer build every traced run would fail at exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
make_shm_dir || { echo "skipped: no /dev/shm on another file system"; exit 0; }

awk 'BEGIN { for (i = 1; i <= 3000; i++)
  if (i % 10 == 0) printf "\tBEQ\tFAR\n"; else printf "\tLDA\t#%d\t; filler\n", i % 256 }' >"$scratch/old"
work=$(new_work beside)
printf '\tNOP\n' >"$work/main.qsm"
mkdir -p "$work/runs/2"
awk -v f="$shm/inc.qsm" 'BEGIN { for (i = 10; i <= 3000; i += 10) printf "%s %d E18: x \"FAR\"\n", f, i }' \
  >"$work/runs/2/tag"
cp "$scratch/old" "$shm/inc.qsm"
run_kelvad "$work" main.qsm -. -COUNT1
cp "$shm/inc.qsm" "$scratch/new"
check_equal "reference run" 0 "$status"

n=0
while :; do
  n=$((n + 1))
  cp "$scratch/old" "$shm/inc.qsm"
  rm -f "$work/torna.count"
  { (cd "$work" && exec strace -o /dev/null -e trace=write,fdatasync \
      -e inject=write,fdatasync:signal=SIGKILL:when=$n "$kelvad" main.qsm -. -COUNT1) >"$work.stdout" 2>/dev/null </dev/null
    status=$?; } 2>/dev/null
  left=$(compgen -G "$shm/tmpbra00*" | wc -l)
  if [ "$left" -le 1 ]; then pass; else fail "kill $n: $left copies beside the source"; fi
  version=$(md5sum <"$shm/inc.qsm")
  if [ "$version" == "$(md5sum <"$scratch/old")" ] || [ "$version" == "$(md5sum <"$scratch/new")" ]; then
    pass
  else
    fail "kill $n: the source is neither its old nor its new text"
  fi
  [ "$status" -eq 0 ] && break
  [ "$n" -lt 200 ] || { fail "no run got through 200 kill points"; break; }
done
[ "$n" -ge 5 ] || fail "only $n kill points: too few to tell a pile"
check_absent "after a run that got through" "$(compgen -G "$shm/tmpbra00*" || echo "$shm/tmpbra00")"
finish
