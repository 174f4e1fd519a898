#!/bin/sh
# Makes (once) a throwaway Debian root for the tests that run the installer against a real
# Debian system, and prints the path of its cached tarball.
#
#   scripts/debian-root.sh SUITE [PACKAGE...]
#
# The root is `debootstrap --variant=minbase` of SUITE from the Debian archive this machine's
# apt sources name, with PACKAGES added. It is cached as a tarball under
# $CORVANE_ROOT_CACHE (default /var/cache/corvane-tests/roots), named after the suite and the
# package list, so a second run reuses it without downloading anything. Needs root.
# Exits 3 (and says why on standard error) when the package archive cannot be reached, so a
# caller can skip with that reason; any other failure exits 1.
set -eu

if [ "$#" -lt 1 ]; then
    echo "usage: $0 SUITE [PACKAGE...]" >&2
    exit 2
fi
suite=$1
shift
packages=$(printf '%s\n' "$@" | sort -u | tr '\n' ',' | sed 's/^,*//; s/,*$//')
cache=${CORVANE_ROOT_CACHE:-/var/cache/corvane-tests/roots}
tag=$(printf '%s' "$packages" | sha256sum | cut -c1-12)
tarball="$cache/debian-$suite-minbase-$tag.tar.gz"

if [ -s "$tarball" ]; then
    echo "$tarball"
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "debian-root: making a root needs root" >&2
    exit 1
fi

. "$(dirname "$0")/packages.sh"
ensure_packages debootstrap wget

# The mirror is the one apt already uses here (deb822 or one-line sources), else Debian's.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p; s/^deb  *\(\[[^]]*\] *\)\{0,1\}\(http[^ ]*\) .*/\2/p' \
    /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
    grep -v security | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}
if ! wget -q -T 20 -t 2 -O /dev/null "$mirror/dists/$suite/Release"; then
    echo "debian-root: the package archive $mirror cannot be reached for $suite" >&2
    exit 3
fi

mkdir -p "$cache"
work=$(mktemp -d "$cache/.make-$suite.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
include=""
[ -n "$packages" ] && include="--include=$packages"
echo "debian-root: debootstrap $suite ($packages) from $mirror" >&2
# shellcheck disable=SC2086
if ! debootstrap --variant=minbase $include "$suite" "$work/root" "$mirror" >"$work/log" 2>&1; then
    tail -n 30 "$work/log" >&2
    exit 1
fi
rm -rf "$work/root/var/cache/apt/archives/"*.deb "$work/root/var/lib/apt/lists/"*_Packages
tar -C "$work/root" --numeric-owner -czf "$work/root.tar.gz" .
mv "$work/root.tar.gz" "$tarball"
echo "$tarball"
