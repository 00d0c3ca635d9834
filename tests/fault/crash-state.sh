#!/usr/bin/env bash
# Power cuts at every moment of a multi-file, multi-pass run: its file operations are
# logged through the preloaded library and replayed by crashcheck under a pessimistic
# model of what a crash leaves. No state may leave a source without a complete version;
# with the flushes dropped (as the tool was without them) some state must.
# Usage: crash-state.sh KELVAD FAKE INJECTOR CHECKER
set -u
KELVAD=$1 FAKE=$2
injector=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
checker=$4
source "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

template=$scratch/template
mkdir -p "$template/sub"
files=(a.qsm sub/c.qsm)
make_shm_dir && files+=("$shm/d.qsm")
# A folder that takes no new file: its source is copied into, its old text kept first.
mkdir -p "$scratch/probe" && chattr +i "$scratch/probe" 2>/dev/null && chattr -i "$scratch/probe" && {
  files+=(locked/e.qsm)
  mkdir -p "$template/locked"
}
rmdir "$scratch/probe"

make_source() {
  awk -v seed="$2" 'BEGIN { for (i = 1; i <= 400; i++)
    if (i % 10 == 0) printf "\tBEQ\tFAR%d\n", seed; else printf "L%d_%d:\tLDA\t#%d\n", seed, i, i % 256 }' >"$1"
}
seed=0
for file in "${files[@]}"; do
  seed=$((seed + 1))
  case "$file" in /*) make_source "$file.orig" "$seed" ;; *) make_source "$template/$file" "$seed" ;; esac
  # Three passes, each below the lines the earlier ones lengthened.
  for pass in 1 2 3; do
    mkdir -p "$template/runs/$((pass + 1))"
    awk -v f="$file" -v p="$pass" -v s="$seed" 'BEGIN { for (i = 410 - 130 * p; i < 540 - 130 * p; i += 30)
      printf "%s %d E18: x \"FAR%d\"\n", f, i, s }' >>"$template/runs/$((pass + 1))/tag"
  done
done
cp "$fake" "$template/torna"

# run_logged NAME [VAR=VALUE...]: one logged run; the versions file lists every
# complete version of each source under its absolute name.
lock() { [ -d "$scratch/work/locked" ] && chattr "$1" "$scratch/work/locked"; return 0; }
run_logged() {
  local log=$scratch/log.$1 file k=0 version
  shift
  lay_out
  mkdir -p "$log"
  lock +i
  (cd "$scratch/work" && env LD_PRELOAD="$injector" KELVAD_OPLOG="$log" "$@" bash -c 'exec -a kelvad "$0" prog.qsm -.' "$kelvad") \
    >"$log.stdout" 2>&1 </dev/null
  status=$?
  lock -i
}

record_versions prog.qsm -.
: >"$scratch/versions"
k=0
for file in "${files[@]}"; do
  k=$((k + 1))
  path=$(realpath -m "$(path_of "$file")")
  for version in "$scratch"/work/snap.*."$k" "$(path_of "$file")"; do
    saved=$scratch/version.$k.$(md5sum <"$version" | cut -d' ' -f1)
    [ -e "$saved" ] || { cp "$version" "$saved"; echo "$path $saved" >>"$scratch/versions"; }
  done
done

backup=$(realpath -m "$scratch/work/tmpbra01")
# check_run NAME WANT_BAD: WANT_BAD "none" or "some"
check_run() {
  check_equal "$1: status" 0 "$status"
  local k=0 file
  for file in "${files[@]}"; do
    k=$((k + 1))
    check_equal "$1: $file at the end" "${final[$k]}" "$(md5sum <"$(path_of "$file")" | cut -d' ' -f1)"
  done
  report=$("$checker" "$scratch/log.$1" "$scratch/versions" "$backup")
  echo "$1: $report" | tail -n 6
  bad=$(echo "$report" | sed -n 's/.*, bad \([0-9]*\)$/\1/p')
  case "$2" in
    none) check_equal "$1: bad crash states" 0 "$bad" ;;
    some) check_equal "$1: some bad crash state" yes "$([ "${bad:-0}" -gt 0 ] && echo yes)" ;;
  esac
}

run_logged flushed
check_run flushed none
run_logged unflushed KELVAD_OPLOG_NOSYNC=1
check_run unflushed some
echo "files: ${files[*]}"
finish
