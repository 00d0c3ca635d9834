# Shared by the fault tests: tool paths, a scratch directory, checks and the tally line.
# Sourced with KELVAD and FAKE set to the tool and the scripted fake assembler.

kelvad=$(cd "$(dirname "$KELVAD")" && pwd)/$(basename "$KELVAD")
fake=$(cd "$(dirname "$FAKE")" && pwd)/$(basename "$FAKE")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvad-fault.XXXXXX")
shm_dirs=()
mounts=()  # mount points to undo before the scratch directory goes
checks=0
failures=0

cleanup_scratch() {
  local dir i keys=("${!mounts[@]}")
  # The last mounted first: a mount may lie on an earlier one.
  for ((i = ${#keys[@]} - 1; i >= 0; i--)); do
    umount "${mounts[${keys[$i]}]}" 2>/dev/null
  done
  for dir in "${shm_dirs[@]+"${shm_dirs[@]}"}"; do
    chattr -R -i "$dir" 2>/dev/null
    rm -rf "$dir"
  done
  if [ "$failures" -eq 0 ]; then
    chattr -R -i "$scratch" 2>/dev/null
    rm -rf "$scratch"
  else
    echo "scratch directory kept: $scratch"
  fi
}
trap cleanup_scratch EXIT

# Makes a directory on /dev/shm (another file system than the scratch
# directory) and puts its name in shm; false when there is none. Not to be
# called in a subshell: the clean-up must learn of the directory.
make_shm_dir() {
  shm=""
  [ -d /dev/shm ] || return 1
  [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$scratch")" ] || return 1
  shm=$(mktemp -d /dev/shm/kelvad-fault.XXXXXX) || return 1
  shm_dirs+=("$shm")
}

pass() { checks=$((checks + 1)); }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*"; }

# check_equal WHAT EXPECTED ACTUAL
check_equal() {
  if [ "$2" == "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi
}

# check_same_file WHAT EXPECTED_FILE ACTUAL_FILE
check_same_file() {
  if [ -f "$3" ] && cmp -s "$2" "$3"; then pass; else fail "$1: $3 differs from $2"; fi
}

check_absent() {
  if [ -e "$2" ] || [ -L "$2" ]; then fail "$1: $2 exists"; else pass; fi
}

check_present() {
  if [ -e "$2" ]; then pass; else fail "$1: $2 is missing"; fi
}

# A fresh work directory with the fake assembler as ./torna.
new_work() {
  local work=$scratch/$1
  rm -rf "$work"
  mkdir -p "$work"
  cp "$fake" "$work/torna"
  echo "$work"
}

# run_kelvad WORK ARGS...: runs kelvad in WORK (word 0 "kelvad"), output in
# WORK/../NAME.stdout; sets $status.
run_kelvad() {
  local work=$1
  shift
  (cd "$work" && exec -a kelvad "$kelvad" "$@") >"$work.stdout" 2>"$work.stderr" </dev/null
  status=$?
}

# run_with_intruder WORK ARGS...: runs kelvad in WORK while another program, taking
# no lock, renames the run's "tmpbra00" to "stolen" as soon as it appears and puts a
# file of its own there holding "intruder"; sets $status.
run_with_intruder() {
  local work=$1 run
  shift
  (cd "$work" && exec -a kelvad "$kelvad" "$@") >"$work.stdout" 2>/dev/null </dev/null &
  run=$!
  # perl renames at once, where a fork of mv might come too late.
  perl -e 'chdir $ARGV[1]; while (kill 0, $ARGV[0]) {
    if (rename "tmpbra00", "stolen") { open my $f, ">", "tmpbra00"; print $f "intruder\n"; last } }' "$run" "$work"
  wait "$run"
  status=$?
}

# check_intruder STATUS ERROR_LINE BEFORE SOURCE: after run_with_intruder in $work,
# the run's status and message, SOURCE as BEFORE, the other program's file as it put it.
check_intruder() {
  if [ ! -e "$work/stolen" ]; then
    echo "skipped: the rewrite ended before the other file could take the name"
    return
  fi
  check_equal "intruder: status" "$1" "$status"
  check_equal "intruder: message" "$2" "$(grep Error "$work.stdout")"
  check_same_file "intruder: source" "$3" "$4"
  check_text "intruder: the other program's file" "$work/tmpbra00" $'intruder\n'
}

# The closing line: checks run and failed; the exit status of the test.
finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}

generated=";This is the line which kelvad generated"
# A two-line source, the tag line that reports its branch, and its text after one pass.
small_source=$'\tNOP\n\tBEQ\tFAR\n'
small_rewritten=$'\tNOP\n\tBNE\t..lop1\t'"$generated"$'\n\tJMP\tFAR\t'"$generated"$'\n..lop1:\n'

# new_case NAME [SOURCE_PATH]: a work directory holding prog.qsm (the small
# source) and a fake whose pass-1 run reports line 2 of SOURCE_PATH (default prog.qsm).
new_case() {
  local work
  work=$(new_work "$1")
  printf '%s' "$small_source" >"$work/prog.qsm"
  mkdir -p "$work/runs/2"
  printf '%s 2 E18: branch out of range "FAR"\n' "${2:-prog.qsm}" >"$work/runs/2/tag"
  echo "$work"
}

# check_text WHAT FILE TEXT: FILE holds exactly TEXT.
check_text() {
  if [ -f "$2" ] && [ "$(cat "$2"; echo x)" == "${3}x" ]; then pass; else fail "$1: $2 does not hold the expected text"; fi
}

mode_of() { stat -c %a "$1"; }
inode_of() { stat -c %i "$1"; }

# ---- file sets rewritten over several passes. The caller sets `files` (names
# relative to the work directory, or absolute with the original beside them as
# NAME.orig) and `template` (a work directory with ./torna and runs/).

# The work directory $scratch/work, holding the original file set.
lay_out() {
  local file
  rm -rf "$scratch/work"
  cp -R "$template" "$scratch/work"
  for file in "${files[@]}"; do
    case "$file" in /*) cp "$file.orig" "$file" ;; esac
  done
}

path_of() {
  case "$1" in /*) echo "$1" ;; *) echo "$scratch/work/$1" ;; esac
}

# record_versions ARGS...: a reference run of kelvad ARGS whose assembler,
# wrapped, saves every file before each run; the complete versions of file k
# are those and the file at the end. Fills allowed["k:md5"] with the version's
# index (0 the original) and final["k"] with the last one's md5.
declare -A allowed final
record_versions() {
  local file version sum k=0 index
  lay_out
  mv "$scratch/work/torna" "$scratch/work/faketorna"
  cat >"$scratch/work/torna" <<WRAP
#!/usr/bin/env bash
n=\$(( \$(cat snap.count 2>/dev/null || echo 0) + 1 )); echo \$n >snap.count
k=0; for f in ${files[*]}; do k=\$((k + 1)); cp "\$f" "snap.\$n.\$k"; done
exec ./faketorna "\$@"
WRAP
  chmod +x "$scratch/work/torna"
  run_kelvad "$scratch/work" "$@"
  check_equal "reference run status" 0 "$status"
  for file in "${files[@]}"; do
    k=$((k + 1))
    index=0
    for version in "$scratch"/work/snap.*."$k" "$(path_of "$file")"; do
      sum=$(md5sum <"$version" | cut -d' ' -f1)
      if [ -z "${allowed["$k:$sum"]+x}" ]; then
        allowed["$k:$sum"]=$index
        index=$((index + 1))
      fi
    done
    final["$k"]=$sum
  done
}

# version_of K PATH: the index of the complete version of file K that PATH
# holds; nothing when it holds none (or is missing).
version_of() {
  [ -f "$2" ] || return 0
  local sum
  sum=$(md5sum <"$2" | cut -d' ' -f1)
  [ -n "${allowed["$1:$sum"]+x}" ] && echo "${allowed["$1:$sum"]}"
  return 0
}
