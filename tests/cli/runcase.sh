#!/usr/bin/env bash
# Runs one black-box case: kelvad in a fresh scratch directory with a fake (or real) assembler as ./torna.
# Usage: runcase.sh CASE KELVAD FAKE [RESULTS]    (exit status 0 when everything matches)
# A KELVAD ending in ".exe" is a Windows build: it runs under wine (see WINDOWS MODE below).
# With RESULTS, what the run left (status, stdout, stderr, the scratch directory) is copied
# there, so that two builds can be compared file by file.
set -u

if [ $# -ne 3 ] && [ $# -ne 4 ]; then
  echo "usage: runcase.sh CASE KELVAD FAKE [RESULTS]" >&2
  exit 2
fi
case_dir=$(cd "$1" && pwd) || exit 2
kelvad=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
fake=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
name=$(basename "$case_dir")
results=${4:-}

# WINDOWS MODE. wine gives a program its full path as word 0, so the helper winstart.exe
# (beside kelvad.exe, or $KELVAD_WINSTART) starts kelvad.exe with word 0 "kelvad". The
# assembler is given the ".exe" that Windows looks for, and a PATH set by the case's setup
# reaches the Windows side through WINEPATH (wine's own PATH is the system's).
windows=0
case $kelvad in
  *.exe)
    windows=1
    winstart=${KELVAD_WINSTART:-$(dirname "$kelvad")/winstart.exe}
    wine=${KELVAD_WINE:-wine}
    ;;
esac

# A Linux path as wine shows it to Windows programs (drive Z: is the root).
windows_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

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

# The case's PATH, as the Windows search path, in WINEPATH; the shell's own PATH comes back.
use_windows_path() {
  local case_path=$PATH entry converted=
  PATH=$1
  [ "$case_path" = "$PATH" ] && return
  local IFS=:
  for entry in $case_path; do
    [ -n "$entry" ] && converted+="${converted:+;}$(windows_path "$entry")"
  done
  export WINEPATH=$converted
}

# Windows starts a program named "torna" from the file "torna.exe".
name_assemblers_exe() {
  local file
  while IFS= read -r -d '' file; do
    mv "$file" "$file.exe"
  done < <(find "$work" -type f -name torna -print0)
}

# wine may take seconds to start a program on a busy machine, so under wine the delay
# counts from the start of the first scripted run that sleeps (at most a minute's wait).
wait_for_sleeping_run() {
  local sleeper count
  sleeper=$(find "$case_dir/runs" -mindepth 2 -maxdepth 2 -name sleep 2>/dev/null |
    sed 's|.*/runs/\([0-9]*\)/sleep$|\1|' | grep -x '[0-9][0-9]*' | sort -n | head -n 1)
  [ -n "$sleeper" ] || return
  for _ in $(seq 600); do
    count=$(tr -dc 0-9 2>/dev/null <"$work/torna.count")
    [ "${count:-0}" -ge "$sleeper" ] && return
    sleep 0.1
  done
}

# Word 0 is always "kelvad", so the command-line length is the same wherever the build is.
run_kelvad() {
  local shell_path=$PATH
  cd "$work" || exit 2
  if [ -f "$case_dir/setup" ]; then
    # shellcheck disable=SC1091
    source "$case_dir/setup"
  fi
  if [ "$windows" -eq 1 ]; then
    use_windows_path "$shell_path"
    name_assemblers_exe
    exec "$wine" "$winstart" kelvad "$(windows_path "$kelvad")" "${words[@]+"${words[@]}"}"
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
  if [ "$windows" -eq 1 ]; then
    wait_for_sleeping_run
  fi
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

if [ -n "$results" ]; then
  rm -rf "$results" && mkdir -p "$results" || exit 2
  echo "$status" >"$results/status"
  cp "$scratch/stdout" "$scratch/stderr" "$results/"
  cp -a "$work" "$results/files"
fi

if [ "$failed" -ne 0 ]; then
  echo "$name: FAILED (scratch directory kept: $work)"
  exit 1
fi
rm -rf "$scratch"
echo "$name: ok"
