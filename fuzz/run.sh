#!/usr/bin/env bash
# Runs every fuzz target for a fixed time on its seed corpus: run.sh [BUILD_DIR] [SECONDS] (defaults build-fuzz, 60).
# New inputs go to BUILD_DIR/corpus/<target>, crashes to BUILD_DIR/artifacts/; exit status 1 when a target fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "${1:-$root/build-fuzz}" && pwd)
seconds=${2:-60}
failed=0
mkdir -p "$out/artifacts"
# The targets' scratch directories, on a memory file system when there is one.
scratch=$(mktemp -d /dev/shm/kelvad-fuzz-run.XXXXXX 2>/dev/null || mktemp -d)
export KELVAD_FUZZ_SCRATCH=$scratch
trap 'rm -rf "$scratch"' EXIT
for target in tagreader linesplit rewritepass; do
  mkdir -p "$out/corpus/$target"
  echo "== fuzz $target for ${seconds}s"
  if ! "$out/${target}_fuzz" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/${target}-" "$out/corpus/$target" "$root/fuzz/corpus/$target" \
      >"$out/${target}.log" 2>&1; then
    echo "fuzz $target FAILED:"
    tail -n 60 "$out/${target}.log"
    failed=1
  else
    grep -a -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::new_units_added)' "$out/${target}.log" || true
  fi
done
exit "$failed"
