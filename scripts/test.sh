#!/bin/sh
# Checks the include graph of src/ (scripts/folder-graph.py), builds the sanitizer build, runs
# clang-tidy over src/ (scripts/clang-tidy.sh; skipped, saying so, where clang-tidy is not
# installed, except in CI, which installs it) and runs every test (unit and end-to-end, through
# ctest), builds the release (scripts/release.sh, with a throwaway key) and runs it in Debian
# 11, 12 and 13 roots and builds it again (tests/release), runs the end-to-end tests against
# real Debian 12 and 13 systems (tests/realsys), then builds the fuzz targets and runs each for
# FUZZ_SECONDS (default 20). The Debian-root tests skip, saying why, when not root or when the
# package archive cannot be reached. Exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh

# Build: cmake ninja-build g++; unit tests: libgtest-dev libgmock-dev; end-to-end tests:
# tmux python3-pytest python3-pyftpdlib wget, and for the launcher checks desktop-file-utils
# python3-gi gir1.2-glib-2.0, for the signed sample archive gnupg gpgv; for the launchers on a
# real display xvfb dbus, gvfs-daemons (the metadata store) with gvfs (GIO's client of it),
# libglib2.0-bin (gio), xterm, gir1.2-gdkpixbuf-2.0 (the icon load), gir1.2-libxfce4util-1.0
# (Xfce's own check of a launcher's safety flag) and imagemagick (a screenshot when such a
# test fails); fuzz targets: clang libclang-rt-14-dev (libFuzzer runtime).
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev \
    tmux python3 python3-pytest python3-pyftpdlib wget gnupg gpgv \
    desktop-file-utils python3-gi gir1.2-glib-2.0 \
    xvfb dbus gvfs-daemons gvfs libglib2.0-bin xterm gir1.2-gdkpixbuf-2.0 imagemagick \
    gir1.2-libxfce4util-1.0 \
    clang libclang-rt-14-dev ccache
# clang-tidy (the check of src/ with .clang-tidy) must run in CI; elsewhere it runs where it is.
if [ "${CI:-}" = true ]; then ensure_packages clang-tidy; fi

JOBS="${JOBS:-$(nproc)}"
# Compiled objects are kept outside the clone (like the Debian roots), so a run on a machine
# that built before compiles only what changed; paths below the clone count as the same in
# every clone. It saves time only: the same input gives what the compiler gave.
export CCACHE_DIR="${CCACHE_DIR:-/var/cache/corvane-tests/ccache}" CCACHE_BASEDIR="$PWD"
mkdir -p "$CCACHE_DIR" 2>/dev/null || export CCACHE_DIR="$PWD/build/ccache"

# The seeds of a fuzz target: the real tool outputs of tests/fixtures that its parser reads,
# then the target's own corpus (inputs that once broke it, kept as regression cases).
fuzz_seeds() {
    case "$1" in
        df_parser_fuzz) pattern="df-*" ;;
        hdparm_parser_fuzz) pattern="hdparm-*" ;;
        udevadm_parser_fuzz) pattern="udevadm-*" ;;
        lsb_release_parser_fuzz) pattern="lsb-release-*" ;;
        *) pattern="" ;;
    esac
    if [ -n "$pattern" ]; then
        for fixture in tests/fixtures/$pattern; do cp "$fixture" "$2/"; done
    fi
    if [ -d "fuzz/corpus/$1" ]; then cp -r "fuzz/corpus/$1/." "$2/"; fi
}
failed=0

# The include graph of src/ keeps the layer order: no folder cycle, no file circle, no arrow
# to a folder that is not below (cheap, so first).
/usr/bin/python3 scripts/folder-graph.py || failed=1
/usr/bin/python3 -m pytest -q -p no:cacheprovider tests/scripts || failed=1

cmake --preset sanitize -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build --preset sanitize -j "$JOBS"
# With the compile commands of that build (and its generated header).
JOBS="$JOBS" scripts/clang-tidy.sh build/sanitize || failed=1
ctest --preset sanitize || failed=1

# The release, built with a throwaway maker's key (its GNUPGHOME goes to the tests, which sign
# the sample archive with it and check that the packaged installer verifies it), then the
# Debian-root tests and a second build that must give the same bytes.
started=$(date +%s)
release_gnupg=$(mktemp -d)
release_keyring="$release_gnupg/archive-keyring.gpg"
gpg --homedir "$release_gnupg" --batch --quiet --no-tty --passphrase "" --pinentry-mode loopback \
    --quick-generate-key "Corvane release test <release-test@corvane.example>" ed25519 sign never
gpg --homedir "$release_gnupg" --batch --quiet --export >"$release_keyring"
if scripts/release.sh --keyring "$release_keyring"; then
    echo "== release built: $(($(date +%s) - started))s"
    CORVANE_RELEASE_GNUPGHOME="$release_gnupg" CORVANE_RELEASE_KEYRING="$release_keyring" \
        /usr/bin/python3 -m pytest -q -rs -p no:cacheprovider --durations=0 tests/release ||
        failed=1
else
    echo "RELEASE FAILED"
    failed=1
fi
gpgconf --homedir "$release_gnupg" --kill all 2>/dev/null || true
rm -rf "$release_gnupg"
echo "== release and Debian-root tests: $(($(date +%s) - started))s"

# The same binary against a real Debian system (as root; skips itself with a reason
# otherwise, or when the package archive cannot be reached).
scripts/test-real-system.sh || failed=1

if ls fuzz/*_fuzz.cpp >/dev/null 2>&1; then
    cmake --preset fuzz -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    cmake --build --preset fuzz -j "$JOBS"
    seconds="${FUZZ_SECONDS:-20}"
    for source in fuzz/*_fuzz.cpp; do
        name=$(basename "$source" .cpp)
        target="build/fuzz/$name"
        corpus=$(mktemp -d)
        fuzz_seeds "$name" "$corpus"
        echo "== fuzzing $name for ${seconds}s"
        if ! "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "$corpus" \
                >"build/fuzz/$name.log" 2>&1; then
            echo "FUZZ FAILURE in $name (log: build/fuzz/$name.log):"
            tail -n 40 "build/fuzz/$name.log"
            failed=1
        else
            grep -E '^stat::number_of_executed_units' "build/fuzz/$name.log" || true
            grep -E '^#[0-9]+.*cov:' "build/fuzz/$name.log" | tail -n 1 || true
        fi
        rm -rf "$corpus"
    done
fi

if [ "$failed" -ne 0 ]; then
    echo "SOME TESTS FAILED"
    exit 1
fi
echo "ALL TESTS PASSED"
