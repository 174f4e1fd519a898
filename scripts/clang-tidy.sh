#!/bin/sh
# Runs clang-tidy with the checks of .clang-tidy over every source file of src/ (their headers
# come along through the header filter), with the compile commands of a CMake build folder, and
# lists every finding as FILE:LINE: [CHECK] once at the end. Exits 1 on any finding, 0 when
# there is none. Without clang-tidy it says so and exits 0, except in CI (CI=true), where the
# check must run.
#
#   scripts/clang-tidy.sh [BUILD_DIR [SOURCE_DIR]]
#
# BUILD_DIR: default build/sanitize, configured (that writes compile_commands.json and
# core/build_config.h); SOURCE_DIR: default src (another tree is for the script's own test).
set -eu
cd "$(dirname "$0")/.."

build=${1:-build/sanitize}
sources=${2:-src}
if ! command -v clang-tidy >/dev/null 2>&1; then
    if [ "${CI:-}" = true ]; then
        echo "clang-tidy: not installed (apt-get install clang-tidy)" >&2
        exit 1
    fi
    echo "clang-tidy: not installed, the check of src/ is skipped (apt-get install clang-tidy)"
    exit 0
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "clang-tidy: no $build/compile_commands.json (configure that build first)" >&2
    exit 1
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
count=$(find "$sources" -name '*.cpp' | wc -l)
echo "== clang-tidy ($(clang-tidy --version | sed -n 's/.*LLVM version //p')) over $count files of $sources/"
# The build may be GCC's: clang does not know some of its warning options (-Wno-restrict).
status=0
find "$sources" -name '*.cpp' | LC_ALL=C sort |
    xargs -P "${JOBS:-2}" -n 4 clang-tidy -p "$build" --quiet --config-file="$PWD/.clang-tidy" \
        --extra-arg=-Wno-unknown-warning-option >"$log" 2>&1 || status=$?

# A header's finding comes once for each file that includes it: each is listed once.
findings=$(sed -n 's#^\(.*\):\([0-9]*\):[0-9]*: \(warning\|error\): .*\[\([^],]*\)[^[]*\]$#\1:\2: [\4]#p' \
    "$log" | sed "s|^$PWD/||" | LC_ALL=C sort -u | LC_ALL=C sort -t: -k1,1 -k2,2n)
if [ -n "$findings" ] || [ "$status" -ne 0 ]; then
    # The details, without clang's count of the warnings it was told to leave out.
    grep -Ev '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$log" || true
    echo "clang-tidy findings:"
    printf '%s\n' "${findings:-(none listed: clang-tidy failed, above)}"
    echo "CLANG-TIDY: $(printf '%s\n' "$findings" | grep -c . || true) findings"
    exit 1
fi
echo "clang-tidy: no findings"
