# Checks what a user gets from `cmake --install`, the .tar.gz or the .deb: the tool, its manual page
# and its documents, nothing else, and a tool that runs; with lintian, the .deb as Debian checks it.
#
# bash checkdelivery.sh install|tgz|deb|lintian BUILD_DIR VERSION_LINE
set -euo pipefail

mode=$1
build=$2
versionLine=$3
source="$(cd "$(dirname "$0")/.." && pwd)"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL ($mode): $*"
    exit 1
}

# The files and links under a root, one relative path a line, sorted.
listTree() {
    (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
}

# The tree under $1 holds exactly the tool, the compressed manual page and changelog, the
# copyright and the README under the prefix $2, each the text of the source tree, and the
# tool prints its version line.
checkTree() {
    local root=$1 prefix=$2
    local doc="${prefix}share/doc/kelvad"
    local expected
    expected=$(printf '%s\n' "${prefix}bin/kelvad" "$doc/README.md" "$doc/changelog.gz" "$doc/copyright" \
        "${prefix}share/man/man1/kelvad.1.gz")
    local actual
    actual=$(listTree "$root")
    [ "$actual" = "$expected" ] || fail "installed files differ:"$'\n'"$(diff <(echo "$expected") <(echo "$actual"))"
    gzip -dc "$root/${prefix}share/man/man1/kelvad.1.gz" | cmp -s - "$source/docs/kelvad.1" ||
        fail "the installed manual page is not docs/kelvad.1, compressed"
    gzip -dc "$root/$doc/changelog.gz" | cmp -s - "$source/docs/changelog" ||
        fail "the installed changelog is not docs/changelog, compressed"
    cmp -s "$root/$doc/copyright" "$source/docs/copyright" || fail "the installed copyright is not docs/copyright"
    cmp -s "$root/$doc/README.md" "$source/README.md" || fail "the installed README.md is not the project's"
    [ -x "$root/${prefix}bin/kelvad" ] || fail "bin/kelvad is not executable"
    printf '%s\n' "$versionLine" > "$scratch/want"
    local status=0
    (cd "$scratch" && "$root/${prefix}bin/kelvad" -V > "$scratch/got" 2> "$scratch/err") || status=$?
    [ "$status" = 0 ] || fail "kelvad -V ended with status $status"
    cmp -s "$scratch/want" "$scratch/got" || fail "kelvad -V printed: $(cat -A "$scratch/got")"
    [ ! -s "$scratch/err" ] || fail "kelvad -V wrote to standard error: $(cat "$scratch/err")"
}

# Builds one package with cpack into $scratch/pkg and prints its path.
makePackage() {
    local generator=$1 pattern=$2
    cpack --config "$build/CPackConfig.cmake" -G "$generator" -B "$scratch/pkg" > "$scratch/cpack.log" 2>&1 ||
        fail "cpack -G $generator failed:"$'\n'"$(cat "$scratch/cpack.log")"
    local found=("$scratch"/pkg/$pattern)
    [ ${#found[@]} = 1 ] && [ -f "${found[0]}" ] || fail "cpack -G $generator made no single $pattern"
    echo "${found[0]}"
}

case $mode in
install)
    cmake --install "$build" --prefix "$scratch/root" > "$scratch/install.log" 2>&1 ||
        fail "cmake --install failed:"$'\n'"$(cat "$scratch/install.log")"
    checkTree "$scratch/root" ""
    ;;
tgz)
    archive=$(makePackage TGZ 'kelvad-*.tar.gz')
    mkdir "$scratch/root"
    tar -xzf "$archive" -C "$scratch/root"
    top=$(basename "$archive" .tar.gz)
    [ -d "$scratch/root/$top" ] || fail "the archive does not unpack into $top/"
    checkTree "$scratch/root" "$top/"
    ;;
deb)
    package=$(makePackage DEB 'kelvad_*.deb')
    [ "$(dpkg-deb -f "$package" Package)" = kelvad ] || fail "package name: $(dpkg-deb -f "$package" Package)"
    version=$(dpkg-deb -f "$package" Version)
    [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "package version: $version"
    if command -v dpkg > /dev/null; then
        arch=$(dpkg-deb -f "$package" Architecture)
        [ "$arch" = "$(dpkg --print-architecture)" ] || fail "package architecture: $arch"
    fi
    mkdir "$scratch/root"
    dpkg-deb -x "$package" "$scratch/root"
    checkTree "$scratch/root" "usr/"
    ;;
lintian)
    # Status 77 tells ctest that the check was skipped.
    lintian=$(command -v lintian) || true
    if [ ! -x "$lintian" ]; then
        echo "skipped: lintian is not installed (.ci/install-deps installs it where the package lists offer it)"
        exit 77
    fi
    package=$(makePackage DEB 'kelvad_*.deb')
    # Errors fail (lintian's own rule); warnings and notes are shown.
    "$lintian" --info "$package" 2> "$scratch/lintian.err" ||
        fail "lintian found errors or failed: $(grep -v 'running with root privileges' "$scratch/lintian.err")"
    grep -v 'running with root privileges' "$scratch/lintian.err" >&2 || true
    ;;
*)
    fail "unknown mode"
    ;;
esac
echo "ok ($mode)"
