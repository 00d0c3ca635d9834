#!/usr/bin/env bash
# Kills kelvad (SIGKILL) at random moments while it rewrites a large file set over
# several passes; afterwards every file must hold one of its complete versions.
# Usage: kill.sh KELVAD FAKE [RUNS]   (default 30 runs)
set -u
KELVAD=$1 FAKE=$2
runs=${3:-30}
source "$(dirname "$0")/lib.sh"

lines=${KELVAD_KILL_LINES:-60000}  # lines per source file
passes=3
template=$scratch/template
mkdir -p "$template/runs"
make_shm_dir
files=(a.qsm b.qsm sub/c.qsm)
[ -n "$shm" ] && files+=("$shm/d.qsm")
mkdir -p "$template/sub"

# A source of filler lines with a branch every tenth line; each pass reports
# branches only above the lines the earlier passes rewrote, so its line numbers
# still hold when it comes.
make_source() {
  awk -v n="$lines" -v seed="$2" 'BEGIN { for (i = 1; i <= n; i++)
    if (i % 10 == 0) printf "\tB%s\tFAR%d\n", (i % 20 ? "EQ" : "CS"), (i + seed) % 5;
    else printf "L%d_%d:\tLDA\t#%d\t; filler %d\n", seed, i, i % 256, i }' >"$1"
}
seed=0
for file in "${files[@]}"; do
  seed=$((seed + 1))
  case "$file" in /*) make_source "$file.orig" "$seed" ;; *) make_source "$template/$file" "$seed" ;; esac
done
for pass in $(seq 1 "$passes"); do
  run=$((pass + 1))
  mkdir -p "$template/runs/$run"
  seed=0
  for file in "${files[@]}"; do
    seed=$((seed + 1))
    # Pass 1 takes the last third of the file, pass 2 the middle, pass 3 the first.
    awk -v name="$file" -v n="$lines" -v pass="$pass" -v passes="$passes" -v seed="$seed" 'BEGIN {
      third = int(n / passes); from = (passes - pass) * third; to = from + third
      for (i = from + 10 - from % 10; i <= to; i += 40)
        printf "%s %d E18: branch out of range \"FAR%d\"\n", name, i, (i + seed) % 5 }'
  done >"$template/runs/$run/tag"
done
cp "$fake" "$template/torna"

record_versions prog.qsm -.
versions=$(( ${#allowed[@]} / ${#files[@]} ))
check_equal "distinct versions per file (first run, $passes passes, last run)" $((passes + 1)) "$versions"

# The reference run without the wrapper gives its length, the span the kills cover.
lay_out
start=$(date +%s%N)
run_kelvad "$scratch/work" prog.qsm -.
span_ns=$(( $(date +%s%N) - start ))
check_equal "timed run status" 0 "$status"

killed=0 finished=0 temporaries=0 beside=0
declare -A states  # the version index of each file after a kill, e.g. "2 2 1 1"

for run in $(seq 1 "$runs"); do
  lay_out
  delay_ns=$(( span_ns * (RANDOM * 32768 + RANDOM) / 1073741824 ))
  set -m
  (cd "$scratch/work" && exec -a kelvad "$kelvad" prog.qsm -.) >/dev/null 2>&1 </dev/null &
  pid=$!
  set +m
  sleep "$(printf '%d.%09d' $((delay_ns / 1000000000)) $((delay_ns % 1000000000)))"
  kill -KILL -- "-$pid" 2>/dev/null
  { wait "$pid"; } 2>/dev/null
  result=$?
  if [ "$result" -eq 137 ]; then killed=$((killed + 1)); else finished=$((finished + 1)); fi
  [ -e "$scratch/work/tmpbra00" ] && temporaries=$((temporaries + 1))
  # A kill while the text was being brought over to the other file system
  # leaves its copy there, beside the untouched file.
  if [ -n "$shm" ] && compgen -G "$shm/tmpbra00.*" >/dev/null; then
    beside=$((beside + 1))
    rm -f "$shm"/tmpbra00.*
  fi
  k=0
  state=""
  for file in "${files[@]}"; do
    k=$((k + 1))
    path=$(path_of "$file")
    if [ ! -f "$path" ]; then
      fail "run $run (killed after ${delay_ns}ns): $file is missing"
      continue
    fi
    version=$(version_of "$k" "$path")
    if [ -z "$version" ]; then
      fail "run $run (killed after ${delay_ns}ns): $file is no complete version ($(wc -c <"$path") bytes)"
      cp "$path" "$scratch/broken.$run.$k"
    else
      pass
      state="$state${state:+ }$version"
    fi
  done
  states["$state"]=$(( ${states["$state"]:-0} + 1 ))
done
echo "kill runs: $runs ($killed killed while running, $finished already done); run length ${span_ns}ns;" \
  "tmpbra00 left by $temporaries${shm:+, a copy beside the file on the other file system by $beside}; files per run: ${#files[@]}${shm:+ (the last on another file system)}"
echo "versions found (0 = before the first pass, $passes = the end; one figure per file) and how often:"
for state in "${!states[@]}"; do echo "  $state: ${states[$state]}"; done | sort
finish
