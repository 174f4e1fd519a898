#!/bin/sh
# Builds the release from this checkout, in a build folder of its own:
#   dist/installWalletForLinux                    static, stripped, Release
#   dist/corvane-installer_<version>_amd64.deb    CPack's DEB generator over the install rules
# and checks them: `file` says statically linked and stripped, the static link gave no
# warning of a run-time dependency (NSS, dlopen), --version gives the CMake project version,
# the man page renders without warnings, and lintian reports no error (its warnings are
# printed). Exits non-zero when a check fails.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh

# Build: cmake ninja-build g++; checks: file binutils (objdump) man-db lintian.
ensure_packages cmake ninja-build g++ file binutils man-db lintian

build=build/dist
rm -rf "$build"
mkdir -p dist "$build"
rm -f dist/installWalletForLinux dist/corvane-installer_*.deb

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_STATIC=ON \
    -DCORVANE_TESTS=OFF >"$build/configure.log"
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
cp "$stage/usr/bin/installWalletForLinux" dist/installWalletForLinux

(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
    cat "$build/cpack.log"
    exit 1
}
deb="corvane-installer_${version}_amd64.deb"
cp "$build/$deb" "dist/$deb"

failed=0
described=$(file -b dist/installWalletForLinux)
echo "dist/installWalletForLinux: $described"
case "$described" in
*"statically linked"*) ;;
*) echo "release: not statically linked" >&2; failed=1 ;;
esac
case "$described" in
*"not stripped"*) echo "release: not stripped" >&2; failed=1 ;;
*stripped*) ;;
*) echo "release: file does not say stripped" >&2; failed=1 ;;
esac
if objdump -T dist/installWalletForLinux 2>&1 | grep -q "GLIBC_"; then
    echo "release: the binary asks for versioned glibc symbols" >&2
    failed=1
fi
said=$(dist/installWalletForLinux --version)
if [ "$said" != "installWalletForLinux $version" ]; then
    echo "release: --version says '$said', the project version is $version" >&2
    failed=1
fi
if [ -n "$(MANWIDTH=80 man --warnings -l "$build/doc/installWalletForLinux.1" 2>&1 >/dev/null)" ]; then
    MANWIDTH=80 man --warnings -l "$build/doc/installWalletForLinux.1" >/dev/null
    echo "release: the man page renders with warnings (above)" >&2
    failed=1
fi

echo "lintian dist/$deb:"
lintian_out=$(lintian "dist/$deb" 2>&1) || true
printf '%s\n' "${lintian_out:-(nothing reported)}"
if printf '%s\n' "$lintian_out" | grep -q "^E: "; then
    echo "release: lintian reports errors" >&2
    failed=1
fi

size=$(stat -c %s dist/installWalletForLinux)
echo "release $version: dist/installWalletForLinux ($size bytes), dist/$deb"
exit "$failed"
