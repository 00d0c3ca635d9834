#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, apart from the g++ build: build.sh [BUILD_DIR] (default build-fuzz).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build-fuzz}" && cd "${1:-$root/build-fuzz}" && pwd)

# clang and its fuzzer runtime come from the system packages when missing.
fuzzer_runtime() {
  local resource
  resource=$(clang++ -print-resource-dir 2>/dev/null) || return 1
  compgen -G "$resource/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null
}
if ! command -v clang++ >/dev/null || ! fuzzer_runtime; then
  echo "installing clang and its fuzzer runtime"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq clang libclang-rt-dev
fi

flags=(-std=c++17 -g -O1 -Wall -Wextra -fno-omit-frame-pointer -I"$root"
       -fsanitize=address,undefined -fno-sanitize-recover=all)
mkdir -p "$out/obj"

# Every source of the tool but its entry and the Windows side, and the fuzz support; of a
# platform file with a Linux twin, the Linux one, as the Linux build takes them.
sources=()
for dir in common platform driver tagscan rewrite; do
  for file in "$root/$dir"/*.cpp; do
    case "$file" in */main.cpp|*_win.cpp) continue ;; esac
    case "$file" in *_posix.cpp) [ -e "${file%_posix.cpp}_linux.cpp" ] && continue ;; esac
    sources+=("$file")
  done
done
sources+=("$root/fuzz/fuzzsupport.cpp")

compile() {
  local source=$1 object=$2
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ] || [ -n "$(find "$root" -name '*.h' -newer "$object" -not -path '*/build*' -print -quit)" ]; then
    clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -c "$source" -o "$object"
  fi
}

objects=()
pids=()
for source in "${sources[@]}"; do
  relative=${source#"$root/"}
  object="$out/obj/${relative//\//_}.o"
  objects+=("$object")
  compile "$source" "$object" &
  pids+=($!)
  # Two at a time: the machine has two cores.
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid"; done

for target in tagreader linesplit rewritepass; do
  clang++ "${flags[@]}" -fsanitize=fuzzer "$root/fuzz/${target}_fuzz.cpp" "${objects[@]}" -o "$out/${target}_fuzz"
  echo "built $out/${target}_fuzz"
done
