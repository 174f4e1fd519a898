#!/bin/sh
# Makes (once) a throwaway Debian root for the tests that run the installer against a real
# Debian system, and prints the path of its cached tarball.
#
#   scripts/debian-root.sh SUITE [PACKAGE...] [--fetch PACKAGE...]
#
# The root is `debootstrap --variant=minbase` of SUITE (bullseye, bookworm, trixie, ...) from
# the Debian archive this machine's apt sources name, with PACKAGES added. The packages after
# --fetch are only downloaded, with what they need and recommend, into the root's apt cache,
# and its package lists are kept: `apt-get install` of them works in the root without a
# network (a package that depends on them installs from there). It is cached as a tarball
# under $CORVANE_ROOT_CACHE (default /var/cache/corvane-tests/roots), named after the suite
# and both package lists, so a second run reuses it without downloading anything. Needs root.
# Exits 3 (and says why on standard error) when the package archive cannot be reached, so a
# caller can skip with that reason; any other failure exits 1.
set -eu

if [ "$#" -lt 1 ]; then
    echo "usage: $0 SUITE [PACKAGE...]" >&2
    exit 2
fi
suite=$1
shift
included=""
fetched=""
into=included
for p in "$@"; do
    if [ "$p" = "--fetch" ]; then into=fetched; continue; fi
    if [ "$into" = included ]; then included="$included $p"; else fetched="$fetched $p"; fi
done
# shellcheck disable=SC2086
packages=$(printf '%s\n' $included | sort -u | tr '\n' ',' | sed 's/^,*//; s/,*$//')
# shellcheck disable=SC2086
fetch=$(printf '%s\n' $fetched | sort -u | tr '\n' ' ' | sed 's/^ *//; s/ *$//')
cache=${CORVANE_ROOT_CACHE:-/var/cache/corvane-tests/roots}
# The tag of a root without --fetch is the one such roots always had.
key=$packages
[ -n "$fetch" ] && key="$packages|fetch:$fetch"
tag=$(printf '%s' "$key" | sha256sum | cut -c1-12)
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
# debootstrap's own packages are installed already: only what --fetch brings stays cached.
rm -rf "$work/root/var/cache/apt/archives/"*.deb
if [ -n "$fetch" ]; then
    echo "debian-root: fetching $fetch into the root's apt cache" >&2
    # shellcheck disable=SC2086
    if ! { chroot "$work/root" apt-get -q update &&
        chroot "$work/root" env DEBIAN_FRONTEND=noninteractive \
            apt-get -q -y --download-only install $fetch; } >"$work/log" 2>&1; then
        tail -n 30 "$work/log" >&2
        exit 1
    fi
else
    rm -rf "$work/root/var/lib/apt/lists/"*_Packages
fi
tar -C "$work/root" --numeric-owner -czf "$work/root.tar.gz" .
mv "$work/root.tar.gz" "$tarball"
echo "$tarball"
