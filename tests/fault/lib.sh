# Shared by the fault tests: tool paths, a scratch directory, checks and the tally line.
# Sourced with KELVAD and FAKE set to the tool and the scripted fake assembler.

kelvad=$(cd "$(dirname "$KELVAD")" && pwd)/$(basename "$KELVAD")
fake=$(cd "$(dirname "$FAKE")" && pwd)/$(basename "$FAKE")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvad-fault.XXXXXX")
shm_dirs=()
checks=0
failures=0

cleanup_scratch() {
  local dir
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

# A directory on /dev/shm (another file system than the scratch directory), or
# nothing when there is none.
make_shm_dir() {
  [ -d /dev/shm ] || return 1
  [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$scratch")" ] || return 1
  local dir
  dir=$(mktemp -d /dev/shm/kelvad-fault.XXXXXX) || return 1
  shm_dirs+=("$dir")
  echo "$dir"
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

# The closing line: checks run and failed; the exit status of the test.
finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
