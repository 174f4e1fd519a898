#!/bin/sh
# Builds the release from this checkout, in a build folder of its own:
#   dist/installWalletForLinux                    static, stripped, Release
#   dist/corvane-installer_<version>_amd64.deb    dpkg-deb over the staged install rules
# and checks them: `file` says statically linked and stripped, the static link gave no
# warning of a run-time dependency (NSS, dlopen), --version gives the CMake project version,
# the man page renders without warnings, and lintian (-I --pedantic) reports no error (what
# it reports is printed). Exits non-zero when a check fails.
#
#   scripts/release.sh [--keyring FILE] [--out DIR] [--build DIR]
#
# --keyring FILE  the maker's public key (binary OpenPGP, `gpg --export KEY-ID`), installed by
#                 the package as /usr/share/corvane-installer/archive-keyring.gpg; without it
#                 the package refuses signed archives (said in the last lines).
# --out DIR       where the binary and the package go (default dist).
# --build DIR     the build folder (default build/dist; emptied first).
#
# The build is reproducible: every time stamp is SOURCE_DATE_EPOCH, by default the time of
# the last commit (or, outside git, the date of packaging/changelog's newest entry), so two
# builds of one checkout give the same bytes.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh

keyring=""
out=dist
build=build/dist
while [ "$#" -gt 0 ]; do
    case "$1" in
    --keyring) keyring=$(realpath "$2"); shift 2 ;;
    --out) out=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: $0 [--keyring FILE] [--out DIR] [--build DIR]" >&2; exit 2 ;;
    esac
done

# Build: cmake ninja-build g++; package: dpkg-dev (dpkg-deb); checks: file binutils (objdump,
# objcopy) man-db lintian.
ensure_packages cmake ninja-build g++ dpkg-dev file binutils man-db lintian

if [ -n "$keyring" ]; then
    # gpgv reads binary keyrings only: an armored export would make every check fail.
    first=$(od -An -tx1 -N1 "$keyring" | tr -d ' ')
    case "$first" in
    98 | 99 | c6) ;;
    *) echo "release: $keyring is not a binary OpenPGP public key (gpg --export, no --armor)" >&2
       exit 2 ;;
    esac
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=""
    if [ -z "$SOURCE_DATE_EPOCH" ]; then
        SOURCE_DATE_EPOCH=$(date -d "$(sed -n 's/^ -- .*>  //p' packaging/changelog | head -n 1)" +%s)
    fi
fi
export SOURCE_DATE_EPOCH
umask 022

rm -rf "$build"
mkdir -p "$out" "$build"
rm -f "$out/installWalletForLinux" "$out"/corvane-installer_*.deb

# ccache, when there, only saves time: it hands back what the compiler gave for the same
# input (the reproducibility check builds a second time with CCACHE_DISABLE=1).
launcher=""
if command -v ccache >/dev/null 2>&1; then launcher=ccache; fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_STATIC=ON \
    -DCORVANE_WERROR=ON -DCORVANE_TESTS=OFF -DCORVANE_PACKAGE_KEYRING="$keyring" \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" >"$build/configure.log"
cmake --build "$build" -j "${JOBS:-2}" >"$build/build.log" 2>&1 || {
    cat "$build/build.log"
    exit 1
}
# glibc warns at link time for each call that needs its shared libraries at run time.
if grep -E "warning: .*(statically linked|dlopen)" "$build/build.log"; then
    echo "release: the static link needs shared libraries at run time (above)" >&2
    exit 1
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
stage="$build/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr --strip >/dev/null
# The compiler's version notes are of no use in the program (lintian: unneeded section).
objcopy --remove-section=.comment "$stage/usr/bin/installWalletForLinux"
cp "$stage/usr/bin/installWalletForLinux" "$out/installWalletForLinux"

# The package: the staged tree, its control file (from the build folder, with the size of
# what it installs) and md5sums, every file dated SOURCE_DATE_EPOCH, owned by root.
mkdir -p "$stage/DEBIAN"
size=$(du -sk --apparent-size --exclude=DEBIAN "$stage" | cut -f1)
sed "s/%INSTALLED_SIZE%/$size/" "$build/package/control" >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
deb="corvane-installer_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$out/$deb" >"$build/dpkg-deb.log" 2>&1 || {
    cat "$build/dpkg-deb.log"
    exit 1
}

failed=0
described=$(file -b "$out/installWalletForLinux")
echo "$out/installWalletForLinux: $described"
case "$described" in
*"statically linked"*) ;;
*) echo "release: not statically linked" >&2; failed=1 ;;
esac
case "$described" in
*"not stripped"*) echo "release: not stripped" >&2; failed=1 ;;
*stripped*) ;;
*) echo "release: file does not say stripped" >&2; failed=1 ;;
esac
if objdump -T "$out/installWalletForLinux" 2>&1 | grep -q "GLIBC_"; then
    echo "release: the binary asks for versioned glibc symbols" >&2
    failed=1
fi
said=$("$out/installWalletForLinux" --version)
if [ "$said" != "installWalletForLinux $version" ]; then
    echo "release: --version says '$said', the project version is $version" >&2
    failed=1
fi
if [ -n "$(MANWIDTH=80 man --warnings -l "$build/doc/installWalletForLinux.1" 2>&1 >/dev/null)" ]; then
    MANWIDTH=80 man --warnings -l "$build/doc/installWalletForLinux.1" >/dev/null
    echo "release: the man page renders with warnings (above)" >&2
    failed=1
fi

echo "lintian -I --pedantic $out/$deb:"
lintian_out=$(lintian -I --pedantic "$out/$deb" 2>&1) || true
printf '%s\n' "${lintian_out:-(nothing reported)}"
if printf '%s\n' "$lintian_out" | grep -q "^E: "; then
    echo "release: lintian reports errors" >&2
    failed=1
fi

size=$(stat -c %s "$out/installWalletForLinux")
echo "release $version (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH): $out/installWalletForLinux ($size bytes), $out/$deb"
if [ -n "$keyring" ]; then
    echo "keyring: $keyring is /usr/share/corvane-installer/archive-keyring.gpg in the package"
else
    echo "keyring: none given (--keyring FILE): the package has no archive keyring and will"
    echo "refuse every signed archive (\"no keyring\")"
fi
exit "$failed"
