#!/usr/bin/env bash
# The copy into a source itself (a single file bind-mounted on its own), killed at
# each of its writes in turn: afterwards "tmpbra01" is absent or holds the whole
# old text, and the next run either refuses to start (error 20 naming the source,
# every file as it was) or, without "tmpbra01", finds the source whole and ends
# with its new text. A source with a second hard link is never copied into
# (error 1, nothing changed, the cause on standard error). Needs root for the
# mount and strace; skipped otherwise.
# Usage: old-text.sh KELVAD FAKE
set -u
KELVAD=$1 FAKE=$2
source "$(dirname "$0")/lib.sh"
command -v strace >/dev/null || { echo "skipped: strace is not installed"; exit 0; }
# LeakSanitizer cannot work under ptrace: in a sanitizer build every traced run would fail at exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

store=$scratch/store
mkdir "$store"
awk 'BEGIN { for (i = 1; i <= 3000; i++)
  if (i % 10 == 0) printf "\tBEQ\tFAR\n"; else printf "\tLDA\t#%d\t; filler\n", i % 256 }' >"$scratch/old"
tag_for() { awk 'BEGIN { for (i = 10; i <= 3000; i += 10) printf "prog.qsm %d E18: x \"FAR\"\n", i }'; }
work=$(new_work reference)
cp "$scratch/old" "$work/prog.qsm"
mkdir -p "$work/runs/2" && tag_for >"$work/runs/2/tag"
run_kelvad "$work" prog.qsm -.
cp "$work/prog.qsm" "$scratch/new"

# bind_source NAME: a work directory whose prog.qsm is $store/prog.qsm mounted on its own.
bind_source() {
  work=$(new_work "$1")
  cp "$scratch/old" "$store/prog.qsm"
  : >"$work/prog.qsm"
  if ! mount --bind "$store/prog.qsm" "$work/prog.qsm" 2>/dev/null; then
    echo "skipped: mounting is not permitted here (needs root with CAP_SYS_ADMIN)"
    exit 0
  fi
  mounts+=("$work/prog.qsm")
  mkdir -p "$work/runs/2" && tag_for >"$work/runs/2/tag"
}
unbind_source() { umount "$work/prog.qsm" && unset 'mounts[-1]'; }

# Kill point n: the n-th write (or data flush) of kelvad, until a run gets through.
n=0
refusals=0
while :; do
  n=$((n + 1))
  bind_source "kill-$n"
  { (cd "$work" && exec strace -o /dev/null -e trace=write,fdatasync \
      -e inject=write,fdatasync:signal=SIGKILL:when=$n "$kelvad" prog.qsm -.) >"$work.stdout" 2>/dev/null </dev/null
    status=$?; } 2>/dev/null
  if [ "$status" -eq 0 ]; then
    check_same_file "kill $n missed: source" "$scratch/new" "$store/prog.qsm"
    unbind_source
    break
  fi
  if [ -e "$work/tmpbra01" ]; then
    refusals=$((refusals + 1))
    check_same_file "kill $n: tmpbra01 whole" "$scratch/old" "$work/tmpbra01"
    cp "$store/prog.qsm" "$scratch/before-next"
    rm -f "$work/torna.count"
    run_kelvad "$work" prog.qsm -.
    check_equal "kill $n: next run's status" 1 "$status"
    check_text "kill $n: next run's message" "$work.stdout" \
      " Error : 'tmpbra01' holds the old text of 'prog.qsm' from a run cut short: copy it over that file, then remove it"$'\n\n'
    check_absent "kill $n: next run never assembles" "$work/torna.count"
    check_same_file "kill $n: next run leaves the source" "$scratch/before-next" "$store/prog.qsm"
    check_same_file "kill $n: next run leaves tmpbra01" "$scratch/old" "$work/tmpbra01"
  else
    sum=$(md5sum <"$store/prog.qsm")
    if [ "$sum" == "$(md5sum <"$scratch/new")" ]; then
      rm -r "$work/runs/2"  # nothing left to report
    elif [ "$sum" == "$(md5sum <"$scratch/old")" ]; then
      pass
    else
      fail "kill $n: source neither old nor new, and no tmpbra01"
    fi
    rm -f "$work/torna.count"
    run_kelvad "$work" prog.qsm -.
    check_equal "kill $n: next run's status" 0 "$status"
    check_same_file "kill $n: next run's source" "$scratch/new" "$store/prog.qsm"
    check_absent "kill $n: next run" "$work/tmpbra01.part"
    check_absent "kill $n: next run" "$work/tmpbra01.name"
  fi
  unbind_source
  [ "$n" -lt 200 ] || { fail "no run got through 200 kill points"; break; }
done
echo "$((n - 1)) kill points, $refusals left tmpbra01"
[ "$refusals" -gt 0 ] || fail "no kill point fell inside the copy"

# A second hard link: the copy would give it the new text too.
bind_source linked
ln "$store/prog.qsm" "$store/other.qsm"
run_kelvad "$work" prog.qsm -.
check_equal "hard-linked: status" 1 "$status"
check_text "hard-linked: message" "$work.stdout" " Error : Can't create file 'prog.qsm'"$'\n\n'
check_equal "hard-linked: cause" "kelvad: it has other hard links, which would get the new text too" \
  "$(tail -1 "$work.stderr")"
check_same_file "hard-linked: source" "$scratch/old" "$store/prog.qsm"
check_same_file "hard-linked: other link" "$scratch/old" "$store/other.qsm"
check_same_file "hard-linked: tmpbra00" "$scratch/new" "$work/tmpbra00"
check_absent "hard-linked" "$work/tmpbra01"
unbind_source
finish
