#!/usr/bin/env bash
# Builds a Release kelvad in its own build folder and prints every figure of the benchmark.
#
#   bench/run-benchmarks.sh              build in build-bench/, 7 rounds (about a minute)
#   ROUNDS=3 bench/run-benchmarks.sh     fewer rounds
#   BUILD=dir bench/run-benchmarks.sh    another build folder (configured as Release)
#   bench/run-benchmarks.sh --quick      inputs a hundred times smaller, one round, in the
#                                        existing BUILD folder: checks that the benchmark works
#
# All inputs are generated into BUILD/bench-work/ and timed in the same run: one pass over a
# 1,000,000-line source against cat and cp of it and against the floor of a safe rewrite
# (benchfloor: read, write a new file, fsync it, rename it over the source), the tag reader
# alone, instructions per reported line, peak memory for a 10 MB and a 100 MB source, and a
# whole run with the stand-in assembler. Each figure is the median of ROUNDS runs, the cases
# of one table interleaved round by round. The script fails when a run fails or leaves a
# wrong result; the targets it only reports.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$repo/build-bench}
rounds=${ROUNDS:-7}
scale=1
if [ "${1:-}" = --quick ]; then
    scale=100
    rounds=1
fi

if [ "$scale" = 1 ]; then
    cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j2 --target kelvad torna benchgen benchtorna tornatimer benchtime benchfloor >/dev/null
    # Without Google Benchmark there is no such target: the reader's times are then left out.
    cmake --build "$build" -j2 --target bench_tagreader >/dev/null 2>&1 ||
        echo "bench_tagreader not built (Google Benchmark missing): no reader times" >&2
fi

tools=$build/bench
kelvad=$build/kelvad
work=$build/bench-work
rm -rf "$work"
mkdir -p "$work"
cd "$work"

passLines=$((1000000 / scale))
thousandErrors=$((1000 / scale))
fewErrors=$((10000 / scale))
quarterErrors=$((25000 / scale))
halfErrors=$((50000 / scale))
manyErrors=$((100000 / scale))
smallLines=$((394000 / scale))    # about 10 MB
largeLines=$((3940000 / scale))   # about 100 MB
programLines=$((100000 / scale))

# A source of LINES lines with ERRORS reported branches, in its own folder with the
# scripted assembler: big.orig is restored to big.qsm before every run.
makePassCase() {
    local dir=$1 lines=$2 errors=$3
    mkdir -p "$dir"
    "$tools/benchgen" source "$lines" "$errors" "$dir/big.qsm" "$dir/prepared.tag"
    mv "$dir/big.qsm" "$dir/big.orig"
    cp "$tools/benchtorna" "$dir/torna"
}

makePassCase pass-thousand "$passLines" "$thousandErrors"
makePassCase pass-few "$passLines" "$fewErrors"
makePassCase pass-quarter "$passLines" "$quarterErrors"
makePassCase pass-half "$passLines" "$halfErrors"
makePassCase pass-many "$passLines" "$manyErrors"
# The tool's start-up and its two assembler runs with nothing to repair: what every
# pass case pays besides the pass itself (its third run, which ends the loop, aside).
makePassCase pass-none "$passLines" 1
: >pass-none/prepared.tag
mkdir -p floor
ln pass-few/big.orig floor/big.orig
# Where the time goes: one error on the first branch line (the scan stops at once, the
# rewrite copies the whole file), and one on the last (the scan reads every line too).
makePassCase pass-first "$passLines" 1
makePassCase pass-last "$passLines" 1
tail -1 pass-few/prepared.tag >pass-last/prepared.tag
makePassCase mem-small "$smallLines" "$fewErrors"
makePassCase mem-large "$largeLines" "$fewErrors"
mkdir -p whole
"$tools/benchgen" program "$programLines" whole/prog.orig
cp "$tools/tornatimer" whole/torna

export KELVAD_BENCH_TAG=prepared.tag
export KELVAD_BENCH_TORNA=$build/torna
export KELVAD_BENCH_LOG=torna.log

# The file operations of a pass without its work: a copy through a 256 KiB buffer into
# a new file renamed over the old one, once with the source read once more before.
echo 'dd if=big.orig of=copy.new bs=256k 2>/dev/null && mv copy.new copy.qsm' >copy-replace.sh
echo 'dd if=big.orig of=/dev/null bs=256k 2>/dev/null && . ../copy-replace.sh' >read-copy-replace.sh

# Every run starts with nothing left to write back, so no run pays for the one before.
restore="cp big.orig big.qsm && rm -f torna.count && sync"
fresh="rm -f copy.qsm && sync"
existing="cp big.orig copy.qsm && sync"
tab=$'\t'
cat >pass.cases <<EOF
cat${tab}pass-few${tab}${fresh}${tab}-${tab}cat big.orig > copy.qsm
cat-over${tab}pass-few${tab}${existing}${tab}-${tab}cat big.orig > copy.qsm
cp${tab}pass-few${tab}${fresh}${tab}-${tab}cp big.orig copy.qsm
replace${tab}pass-few${tab}${existing}${tab}-${tab}sh ../copy-replace.sh
read-replace${tab}pass-few${tab}${existing}${tab}-${tab}sh ../read-copy-replace.sh
floor${tab}floor${tab}${restore}${tab}-${tab}$tools/benchfloor big.qsm
floor-nofsync${tab}floor${tab}${restore}${tab}-${tab}$tools/benchfloor --no-fsync big.qsm
kelvad-none${tab}pass-none${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-first${tab}pass-first${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-last${tab}pass-last${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-1k${tab}pass-thousand${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-few${tab}pass-few${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-25k${tab}pass-quarter${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-50k${tab}pass-half${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
kelvad-many${tab}pass-many${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
mem-small${tab}mem-small${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
mem-large${tab}mem-large${tab}${restore}${tab}-${tab}$kelvad big.qsm -.
EOF
cat >whole.cases <<EOF
whole-run${tab}whole${tab}cp prog.orig prog.qsm && sync${tab}torna.log${tab}$kelvad prog.qsm -.
EOF

loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)
"$tools/benchtime" "$rounds" pass.cases >pass.times
"$tools/benchtime" "$rounds" whole.cases >whole.times
if [ -x "$build/bench_tagreader" ]; then
    readerRounds=$rounds
    readerFlags=()
    [ "$scale" = 1 ] || { readerRounds=3; readerFlags=(--benchmark_min_time=0.01); }
    readerFlags+=(--benchmark_repetitions="$readerRounds")
    # It ends with status 1 when a doubling takes too long: the figures are printed all the same.
    "$build/bench_tagreader" "${readerFlags[@]}" >reader.times 2>&1 || true
fi

loadAfter=$(cut -d' ' -f1-3 /proc/loadavg)

# Field N of case NAME in a times file.
field() { awk -v name="$2" -v n="$3" '$1 == name { print $n }' "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
megabytes() { awk -v bytes="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", bytes / 1e6 }'; }
lineCount() { wc -l <"$1" | tr -d ' '; }
fail() { echo "error: $*" >&2; exit 1; }
grouped() { echo "$1" | sed -e ':a' -e 's/\([0-9]\)\([0-9]\{3\}\)\($\|,\)/\1,\2\3/' -e 'ta'; }

# The last run left each source rewritten: a reported conditional branch became
# three lines, a BRA stayed one.
checkRewritten() {
    local dir=$1 conditionals expected
    conditionals=$(awk 'NR == FNR { reported[$2] = 1; next } (FNR in reported) && !/\tBRA\t/ { n++ }
                        END { print n + 0 }' "$dir/prepared.tag" "$dir/big.orig")
    expected=$(( $(lineCount "$dir/big.orig") + 2 * conditionals ))
    [ "$(lineCount "$dir/big.qsm")" = "$expected" ] || fail "$dir/big.qsm does not hold the rewritten lines"
}
for dir in pass-first pass-last pass-thousand pass-few pass-quarter pass-half pass-many mem-small mem-large; do
    checkRewritten "$dir"
done
cmp -s pass-none/big.qsm pass-none/big.orig || fail "pass-none/big.qsm changed with nothing to repair"
# The floor program writes the source's own text over it.
cmp -s floor/big.qsm floor/big.orig || fail "floor/big.qsm is not the source's text"
summary=$(cd whole && "$build/torna" -. prog.qsm | tail -1)
[ "${summary%%,*}" = "0 errors" ] || fail "the rewritten program does not assemble without errors: $summary"

echo "== Machine"
lscpu | awk -F: '/^Model name|^CPU\(s\)|^L2 cache|^L3 cache/ { gsub(/^ +/, "", $2); printf "%-11s %s\n", $1 ":", $2 }'
awk '/^MemTotal/ { printf "Memory:     %.1f GiB\n", $2 / 1048576 }' /proc/meminfo
disk=$(findmnt -n -o SOURCE -T "$work" | head -1)
echo "Disk:       $(findmnt -n -o FSTYPE -T "$work" | head -1) on $disk, rotational flag $(cat "/sys/block/$(basename "$disk")/queue/rotational" 2>/dev/null || echo unknown)"
echo "Compiler:   $(c++ --version | head -1), CMake $(awk -F= '/^CMAKE_BUILD_TYPE/ { print $2 }' "$build/CMakeCache.txt")"
echo "System:     $(uname -sr)"
echo "Rounds:     $rounds (medians; the cases of a table interleaved round by round)"
echo "Load:       $loadBefore before the runs, $loadAfter after (1, 5, 15 minutes)"
echo

echo "== One pass over a $(grouped "$passLines")-line source ($(megabytes pass-few/big.orig) MB)"
cat=$(field pass.times cat 3)
floor=$(field pass.times floor 3)
floorNoSync=$(field pass.times floor-nofsync 3)
row() { printf "%-56s %9s %7s %8s %8s\n" "$1" "$2" "$(ratio "$2" "$cat")" "$(ratio "$2" "$floor")" "$(ratio "$2" "$floorNoSync")"; }
printf "%-56s %9s %7s %8s %8s\n" "" "median ms" "x cat" "x floor" "x floor*"
row "cat src > dst (a new dst)" "$cat"
row "cat src > dst (dst exists)" "$(field pass.times cat-over 3)"
row "cp src dst" "$(field pass.times cp 3)"
row "copy to a new file renamed over the old one" "$(field pass.times replace 3)"
row "read once more, then copy and rename over" "$(field pass.times read-replace 3)"
row "floor: read, write a new file, fsync, rename over" "$floor"
row "floor without the fsync" "$floorNoSync"
row "kelvad, nothing to repair (start-up, 2 assembler runs)" "$(field pass.times kelvad-none 3)"
row "kelvad, one error on the first branch line" "$(field pass.times kelvad-first 3)"
row "kelvad, one error on the last branch line" "$(field pass.times kelvad-last 3)"
for errors in "$thousandErrors:1k" "$fewErrors:few" "$quarterErrors:25k" "$halfErrors:50k" "$manyErrors:many"; do
    row "kelvad, one pass, $(grouped "${errors%%:*}") errors" "$(field pass.times "kelvad-${errors#*:}" 3)"
done
echo "(x floor*: against the floor without its fsync; targets: 10,000 errors at most 1.25 x floor,"
echo " 100,000 errors at most 2.00 x floor)"
echo
# A kelvad run also starts the tool and runs the assembler three times (the stand-in
# script here); the floor program starts once. Less the run with nothing to repair (start-up
# and two assembler runs), what is left is the pass and one assembler run, against the
# floor's own start.
none=$(field pass.times kelvad-none 3)
echo "== The pass alone: a kelvad run less the run with nothing to repair ($none ms)"
printf "%-56s %9s %8s %8s\n" "" "ms" "x floor" "x floor*"
for errors in "$thousandErrors:1k" "$fewErrors:few" "$manyErrors:many"; do
    own=$(awk -v a="$(field pass.times "kelvad-${errors#*:}" 3)" -v b="$none" 'BEGIN { printf "%.1f", a - b }')
    printf "%-56s %9s %8s %8s\n" "one pass, $(grouped "${errors%%:*}") errors" "$own" "$(ratio "$own" "$floor")" "$(ratio "$own" "$floorNoSync")"
done
echo
# Processor time: on a busy machine the wall time waits for the processor, this does not.
echo "== Processor time of the same runs (user and system, with the assembler runs waited for)"
cpuFloor=$(field pass.times floor 7)
cpuFloorNoSync=$(field pass.times floor-nofsync 7)
cpuRow() {
    local cpu
    cpu=$(field pass.times "$2" 7)
    printf "%-56s %9s %8s %8s\n" "$1" "$cpu" "$(ratio "$cpu" "$cpuFloor")" "$(ratio "$cpu" "$cpuFloorNoSync")"
}
printf "%-56s %9s %8s %8s\n" "" "median ms" "x floor" "x floor*"
cpuRow "floor" floor
cpuRow "floor without the fsync" floor-nofsync
cpuRow "kelvad, nothing to repair" kelvad-none
cpuRow "kelvad, one error on the last branch line" kelvad-last
for errors in "$thousandErrors:1k" "$fewErrors:few" "$manyErrors:many"; do
    cpuRow "kelvad, one pass, $(grouped "${errors%%:*}") errors" "kelvad-${errors#*:}"
done
echo
# Linearity: the errors' share of a pass is its time less that of one error on the last line.
last=$(field pass.times kelvad-last 3)
share() { awk -v a="$(field pass.times "$1" 3)" -v b="$last" 'BEGIN { printf "%.1f", a - b }'; }
echo "== Time in the errors (a pass less one error on the last branch line, $last ms)"
previous=
for errors in "$quarterErrors:25k" "$halfErrors:50k" "$manyErrors:many"; do
    current=$(share "kelvad-${errors#*:}")
    printf "%-8s errors %9s ms%s\n" "$(grouped "${errors%%:*}")" "$current" \
        "${previous:+, $(awk -v a="$current" -v b="$previous" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }') times the share of half as many (at most 2.1)}"
    previous=$current
done
echo

if [ -f reader.times ]; then
    echo "== Tag reader alone, one file (bench_tagreader, CPU time, median of $readerRounds)"
    awk '/_median/ { split($1, part, "[/_]"); printf "%-8s error lines %9s %s\n", part[2], $4, $5 }' reader.times | sort -n
    grep 'times as long' reader.times || true
fi
if [ "$scale" = 1 ] && command -v valgrind >/dev/null; then
    # Instructions, which no other work on the machine disturbs: the reader alone,
    # for errors on lines that a two-line source does not have (nothing else to do).
    mkdir -p reader
    printf '\tBEQ\tX\n\tRTS\n' >reader/big.orig
    cp "$tools/benchtorna" reader/torna
    previous=
    for n in 25000 50000 100000; do
        "$tools/benchgen" source $((10 * n)) "$n" reader/big.qsm reader/prepared.tag
        cp reader/big.orig reader/big.qsm
        rm -f reader/torna.count
        count=$(cd reader && valgrind --tool=callgrind --toggle-collect='readTagFile*' --callgrind-out-file=/dev/null \
                "$kelvad" big.qsm -. 2>&1 | awk '/refs:/ { gsub(",", "", $NF); print $NF }')
        printf "%-8s error lines %12s instructions (callgrind)%s\n" "$n" "$count" \
            "${previous:+, $(ratio "$count" "$previous") times as many}"
        previous=$count
    done
    echo
    # The whole pass, every instruction of the tool's process (start-up, tag reader,
    # scan, rewrite, release), on the pass cases' own inputs.
    echo "== Instructions of one whole pass (callgrind), $(grouped "$passLines")-line source"
    passInstructions() {
        (cd "$1" && cp big.orig big.qsm && rm -f torna.count &&
            valgrind --tool=callgrind --callgrind-out-file=/dev/null "$kelvad" big.qsm -. 2>&1 |
            awk '/refs:/ { gsub(",", "", $NF); print $NF }')
    }
    base=$(passInstructions pass-last)
    printf "%-8s errors %12s instructions (one error, on the last branch line)\n" 1 "$base"
    previous=
    for errors in "$thousandErrors:pass-thousand" "$fewErrors:pass-few" "$quarterErrors:pass-quarter" \
                  "$halfErrors:pass-half" "$manyErrors:pass-many"; do
        n=${errors%%:*}
        count=$(passInstructions "${errors#*:}")
        printf "%-8s errors %12s instructions, %5.0f a reported line, %5.0f more than one error%s\n" \
            "$n" "$count" "$(awk -v a="$count" -v n="$n" 'BEGIN { print a / n }')" \
            "$(awk -v a="$count" -v b="$base" -v n="$n" 'BEGIN { print (a - b) / (n - 1) }')" \
            "${previous:+; the share of the errors $(ratio $((count - base)) $((previous - base))) times that of the row above}"
        previous=$count
    done
    echo "(target: at most 2,000 instructions a reported line)"
fi
echo

echo "== Peak resident memory, $(grouped "$fewErrors") errors (kelvad and the assembler runs it waited for)"
small=$(field pass.times mem-small 6)
large=$(field pass.times mem-large 6)
printf "%-30s %9s KiB  (%s ms)\n" "source of $(megabytes mem-small/big.orig) MB" "$small" "$(field pass.times mem-small 3)"
printf "%-30s %9s KiB  (%s ms)\n" "source of $(megabytes mem-large/big.orig) MB" "$large" "$(field pass.times mem-large 3)"
printf "%-30s %9s KiB  (target: within 1024)\n" "difference" "$((large - small))"
echo

echo "== Whole run with the stand-in assembler: a program of $(grouped "$(lineCount whole/prog.orig)") lines"
runs=$(field whole.times whole-run 8)
total=$(field whole.times whole-run 3)
own=$(field whole.times whole-run 10)
echo "assembler runs:     $runs (the first run, then $((runs - 1)) passes; the last one finds nothing to repair)"
echo "total:              $total ms"
echo "assembler:          $(field whole.times whole-run 9) ms"
echo "kelvad's own:       $own ms ($(awk -v a="$own" -v b="$total" 'BEGIN { printf "%.1f", 100 * a / b }') %)"
echo "lines at the end:   $(grouped "$(lineCount whole/prog.qsm)"), assembled without errors"
echo

echo "== Raw figures (benchtime: case, runs, median, min, max ms, peak KiB, processor ms, assembler runs, ms, own ms)"
cat pass.times whole.times
