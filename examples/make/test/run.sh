# Runs the make example in scratch copies, with kelvad and the stand-in torna first in PATH, and checks what it leaves.
#
# bash run.sh KELVAD TORNA MAKE
set -euo pipefail

kelvad=$1
torna=$2
make=$3
expected="$(cd "$(dirname "$0")" && pwd)/expected"
example=$(dirname "$expected")/..
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# As a user has it: both programs found by name.
mkdir "$scratch/bin"
ln -s "$kelvad" "$scratch/bin/kelvad"
ln -s "$torna" "$scratch/bin/torna"
export PATH="$scratch/bin:$PATH"
# A make above ctest must not pass its flags or its level down.
unset MAKEFLAGS MFLAGS MAKELEVEL

copyExample() {
    mkdir "$scratch/$1"
    cp "$example/Makefile" "$example/blink.qsm" "$example/tables.qsm" "$scratch/$1/"
}

# Runs make in a copy; its output goes to make.log there, its status is printed.
runMake() {
    local status=0
    (cd "$scratch/$1" && shift && "$make" "$@" > make.log 2>&1) || status=$?
    echo "$status"
}

# The bytes of a file, or of a hex listing with "#" comments, one hex byte a line.
hexBytes() { od -An -v -tx1 "$1" | tr -s ' ' '\n' | grep -v '^$' || true; }
listedBytes() { sed 's/#.*//' "$1" | tr -s ' ' '\n' | grep -v '^$' || true; }

checkBuilt() {
    local dir="$scratch/$1"
    cmp -s "$dir/blink.qsm" "$expected/blink.qsm" ||
        fail "$1: blink.qsm differs:"$'\n'"$(diff "$expected/blink.qsm" "$dir/blink.qsm")"
    cmp -s "$dir/tables.qsm" "$example/tables.qsm" || fail "$1: tables.qsm changed"
    [ -f "$dir/blink.bin" ] || fail "$1: no blink.bin"$'\n'"$(cat "$dir/make.log")"
    diff <(listedBytes "$expected/blink.bin.hex") <(hexBytes "$dir/blink.bin") > "$scratch/bytes.diff" ||
        fail "$1: blink.bin differs (expected <, made >):"$'\n'"$(cat "$scratch/bytes.diff")"
    [ ! -e "$dir/tmpbra00" ] || fail "$1: tmpbra00 left behind"
}

# A clean build repairs the branches, assembles, and leaves nothing more to do.
copyExample build
status=$(runMake build)
[ "$status" = 0 ] || fail "make ended with $status:"$'\n'"$(cat "$scratch/build/make.log")"
checkBuilt build
status=$(runMake build -q blink.bin)
[ "$status" = 0 ] || fail "a second make would run the rule again"

# A changed prerequisite runs the rule again; kelvad finds nothing left and changes nothing.
sleep 1
touch "$scratch/build/tables.qsm"
status=$(runMake build)
[ "$status" = 0 ] || fail "the rebuild ended with $status:"$'\n'"$(cat "$scratch/build/make.log")"
grep -q 'kelvad' "$scratch/build/make.log" || fail "the rebuild did not run kelvad"
checkBuilt build

# An edit after the build pushes one more branch out of reach: the next build numbers its label
# after those the first build wrote, so the program assembles, with every label defined once.
sleep 1
sed -i 's/^\tINCLUDE\t"tables.qsm"$/&\nFAULT:\tLDA\tKEY\n\tBMI\tSTART\t\t; far back over the tables\n\tBRA\tFAULT/' \
    "$scratch/build/blink.qsm"
sed -i 's/DS\t200/DS\t240/' "$scratch/build/tables.qsm"
status=$(runMake build)
[ "$status" = 0 ] || fail "the build after the edit ended with $status:"$'\n'"$(cat "$scratch/build/make.log")"
[ -f "$scratch/build/blink.bin" ] || fail "edited: no blink.bin"
grep -q $'^\tBPL\t..lop3\t' "$scratch/build/blink.qsm" || fail "edited: BMI START not lengthened with ..lop3:"$'\n'"$(cat "$scratch/build/blink.qsm")"
duplicates=$(grep -o '^\.\.lop[0-9]*:' "$scratch/build/blink.qsm" | sort | uniq -d)
[ -z "$duplicates" ] && [ "$(grep -c '^\.\.lop[0-9]*:' "$scratch/build/blink.qsm")" = 3 ] ||
    fail "edited: labels not defined exactly once each:"$'\n'"$(cat "$scratch/build/blink.qsm")"

# The data shrinks so that every target is within reach again: "make shrink" gives back every
# line kelvad wrote (the last chain line with the one tab that the tool puts before a comment).
copyExample shrink
status=$(runMake shrink)
[ "$status" = 0 ] || fail "the first build ended with $status:"$'\n'"$(cat "$scratch/shrink/make.log")"
sed -i 's/DS\t200/DS\t20/' "$scratch/shrink/tables.qsm"
status=$(runMake shrink shrink)
[ "$status" = 0 ] || fail "make shrink ended with $status:"$'\n'"$(cat "$scratch/shrink/make.log")"
diff <(sed 's/^\tBMI\tIDLE\t\t;/\tBMI\tIDLE\t;/' "$example/blink.qsm") "$scratch/shrink/blink.qsm" > "$scratch/shrink.diff" ||
    fail "make shrink left:"$'\n'"$(cat "$scratch/shrink.diff")"
[ -f "$scratch/shrink/blink.bin" ] || fail "make shrink: no blink.bin"

# An error that is no branch out of reach: kelvad still repairs the branches and ends with 0,
# and the second torna run makes the rule fail, so no blink.bin is made.
copyExample broken
printf '\tLDA\tNOWHERE\t\t; undefined\n' >> "$scratch/broken/tables.qsm"
status=$(runMake broken)
[ "$status" != 0 ] || fail "make succeeded on an undefined symbol"
[ ! -e "$scratch/broken/blink.bin" ] || fail "blink.bin made from a source with errors"
cmp -s "$scratch/broken/blink.qsm" "$expected/blink.qsm" ||
    fail "broken: blink.qsm differs:"$'\n'"$(diff "$expected/blink.qsm" "$scratch/broken/blink.qsm")"
grep -Eq "^make: \*\*\* \[Makefile:9: blink.bin\] Error 1$" "$scratch/broken/make.log" ||
    fail "broken: the failing command is not the assembler run:"$'\n'"$(cat "$scratch/broken/make.log")"

echo "ok: the make example builds, stays up to date, builds again after an edit, shrinks, and fails on other errors"
