#!/usr/bin/env bash
# A power cut right after a pass on XFS, which writes a renamed file out late: an
# image on a loop device, one pass over a 200,000-line source, then the file
# system's own crash switch (the journal reaches the disk, unwritten data does not)
# and a fresh mount. The source must hold its old or its whole new text every time.
# The same with the flushes dropped is reported, not judged.
# Usage: xfs-crash.sh KELVAD FAKE INJECTOR [RUNS]   (default 3 runs)
set -u
KELVAD=$1 FAKE=$2
injector=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
runs=${4:-3}
source "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0

if ! command -v mkfs.xfs >/dev/null || ! command -v xfs_io >/dev/null; then
  echo "skipped: no mkfs.xfs or xfs_io (package xfsprogs)"
  exit 0
fi
image=$scratch/xfs.img
disk=$scratch/disk
mkdir "$disk"
truncate -s 320M "$image"
mkfs.xfs -q "$image" || { echo "skipped: mkfs.xfs failed"; exit 0; }
if ! mount -o loop "$image" "$disk" 2>/dev/null; then
  echo "skipped: no loop mounts here (needs root with CAP_SYS_ADMIN and /dev/loop-control)"
  exit 0
fi
umount "$disk"

# The source and the one pass that rewrites it, with its text afterwards.
template=$scratch/template
mkdir -p "$template/runs/2"
awk 'BEGIN { for (i = 1; i <= 200000; i++)
  if (i % 10 == 0) printf "\tBEQ\tFAR\n"; else printf "L%d:\tLDA\t#%d\t; filler\n", i, i % 256 }' >"$template/prog.qsm"
awk 'BEGIN { for (i = 100000; i <= 200000; i += 1000) printf "prog.qsm %d E18: x \"FAR\"\n", i }' >"$template/runs/2/tag"
cp "$fake" "$template/torna"
old=$(md5sum <"$template/prog.qsm")
work=$scratch/reference
cp -R "$template" "$work"
run_kelvad "$work" prog.qsm -. +noloop
check_equal "reference run status" 0 "$status"
new=$(md5sum <"$work/prog.qsm")

# crash_run [VAR=VALUE...]: one pass on a fresh mount, the crash switch, a fresh
# mount; sets `outcome` to old, new or the size of what the source holds.
crash_run() {
  mount -o loop "$image" "$disk" || return 1
  mounts+=("$disk")
  rm -rf "$disk/work"
  cp -R "$template" "$disk/work"
  sync
  (cd "$disk/work" && env "$@" bash -c 'exec -a kelvad "$0" prog.qsm -. +noloop' "$kelvad") >/dev/null 2>&1 </dev/null
  status=$?
  xfs_io -x -c "shutdown -f" "$disk"
  umount "$disk" && mount -o loop "$image" "$disk" || return 1
  local sum
  sum=$(md5sum <"$disk/work/prog.qsm")
  case "$sum" in
    "$old") outcome=old ;;
    "$new") outcome=new ;;
    *) outcome="$(stat -c %s "$disk/work/prog.qsm") bytes" ;;
  esac
  umount "$disk" && unset 'mounts[-1]'
}

outcomes=()
for run in $(seq 1 "$runs"); do
  crash_run || { fail "run $run: the image could not be mounted again"; continue; }
  check_equal "run $run: status" 0 "$status"
  case "$outcome" in old | new) pass ;; *) fail "run $run: the source holds $outcome after the crash" ;; esac
  outcomes+=("$outcome")
done
echo "with the flushes: ${outcomes[*]}"
outcomes=()
for run in $(seq 1 "$runs"); do
  crash_run LD_PRELOAD="$injector" KELVAD_OPLOG_NOSYNC=1 && outcomes+=("$outcome")
done
echo "flushes dropped (reported only): ${outcomes[*]}"
finish
