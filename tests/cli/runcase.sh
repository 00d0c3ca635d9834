#!/usr/bin/env bash
# Runs one black-box case: kelvad in a fresh scratch directory with a fake (or real) assembler as ./torna.
# Usage: runcase.sh CASE KELVAD FAKE    (exit status 0 when everything matches)
set -u

if [ $# -ne 3 ]; then
  echo "usage: runcase.sh CASE KELVAD FAKE" >&2
  exit 2
fi
case_dir=$(cd "$1" && pwd) || exit 2
kelvad=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
fake=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
name=$(basename "$case_dir")

if [ ! -f "$case_dir/expect/status" ]; then
  echo "$name: expect/status is missing" >&2
  exit 2
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvad-case.XXXXXX") || exit 2
work=$scratch/work
mkdir "$work"
failed=0

fail() {
  echo "$name: $*"
  failed=1
}

# Shows two files line by line with their invisible bytes made visible.
show_difference() {
  local expected=$1 actual=$2
  if command -v diff >/dev/null; then
    diff -u --label expected --label actual <(cat -A "$expected") <(cat -A "$actual")
  else
    echo "--- expected"; cat -A "$expected"
    echo "--- actual"; cat -A "$actual"
  fi
}

# Compares an actual file with an expected one (a missing expected file means empty).
compare() {
  local what=$1 expected=$2 actual=$3
  if [ ! -e "$expected" ]; then
    expected=$scratch/empty
    : >"$expected"
  fi
  if ! cmp -s "$expected" "$actual"; then
    fail "$what differs"
    show_difference "$expected" "$actual"
  fi
}

# The words of the command line, one per line; an empty line would be an empty word.
words=()
if [ -f "$case_dir/args" ]; then
  mapfile -t words <"$case_dir/args"
fi
for word in "${words[@]+"${words[@]}"}"; do
  if [ -z "$word" ]; then
    echo "$name: args holds an empty line" >&2
    rm -rf "$scratch"
    exit 2
  fi
done

[ -d "$case_dir/in" ] && cp -R "$case_dir/in/." "$work/"
[ -d "$case_dir/runs" ] && cp -R "$case_dir/runs" "$work/runs"
cp "$fake" "$work/torna" && chmod +x "$work/torna"

# Word 0 is always "kelvad", so the command-line length is the same wherever the build is.
run_kelvad() {
  cd "$work" || exit 2
  if [ -f "$case_dir/setup" ]; then
    # shellcheck disable=SC1091
    source "$case_dir/setup"
  fi
  exec -a kelvad "$kelvad" "${words[@]+"${words[@]}"}"
}

if [ -f "$case_dir/interrupt" ]; then
  # Its own process group, so the interrupt reaches kelvad and its child as Ctrl-C would.
  delay=$(cat "$case_dir/interrupt")
  set -m
  run_kelvad >"$scratch/stdout" 2>"$scratch/stderr" </dev/null &
  pid=$!
  set +m
  sleep "$delay"
  kill -INT -- "-$pid" 2>/dev/null
  wait "$pid"
  status=$?
  # Whatever of the group outlived kelvad must not touch the files while they are checked.
  # (An ended child may linger as a zombie, so waiting for the group to vanish would not do.)
  kill -KILL -- "-$pid" 2>/dev/null
  sleep 0.1
else
  (run_kelvad) >"$scratch/stdout" 2>"$scratch/stderr" </dev/null
  status=$?
fi

expected_status=$(tr -d ' \t\r\n' <"$case_dir/expect/status")
if [ "$status" != "$expected_status" ]; then
  fail "exit status $status, expected $expected_status"
fi
compare stdout "$case_dir/expect/stdout" "$scratch/stdout"
compare stderr "$case_dir/expect/stderr" "$scratch/stderr"

if [ -f "$case_dir/expect/torna.log" ]; then
  if [ -f "$work/torna.log" ]; then
    compare torna.log "$case_dir/expect/torna.log" "$work/torna.log"
  else
    fail "torna.log was not written (the assembler never ran)"
  fi
fi

if [ -d "$case_dir/expect/files" ]; then
  shopt -s globstar dotglob nullglob
  for file in "$case_dir/expect/files/"**; do
    [ -f "$file" ] || continue
    relative=${file#"$case_dir/expect/files/"}
    if [ ! -f "$work/$relative" ]; then
      fail "file $relative is missing"
    else
      compare "file $relative" "$file" "$work/$relative"
    fi
  done
  shopt -u globstar dotglob nullglob
fi

if [ -f "$case_dir/expect/absent" ]; then
  while IFS= read -r absent || [ -n "$absent" ]; do
    [ -z "$absent" ] && continue
    if [ -e "$work/$absent" ] || [ -L "$work/$absent" ]; then
      fail "$absent exists but should not"
    fi
  done <"$case_dir/expect/absent"
fi

if [ "$failed" -ne 0 ]; then
  echo "$name: FAILED (scratch directory kept: $work)"
  exit 1
fi
rm -rf "$scratch"
echo "$name: ok"
