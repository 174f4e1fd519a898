#!/bin/sh
# Runs the installer against real Debian 12 and 13 systems (as root): a cached debootstrap
# root of each suite in $CORVANE_REAL_SUITES (default "bookworm trixie"; the suite runs once
# per root) with the real sudo, apt-get, dpkg, su, skill and find, entered through namespaces
# of its own (loopback-only network, private mounts and processes), an ordinary user driving
# the sanitizer build in tmux, the project's FTP server as the archive servers and a local
# package repository. Tears everything down, even on failure, and ends with pytest's summary.
#
#   scripts/test-real-system.sh [PYTEST-ARGS...]
#
# Exits 0 with a printed reason (and runs nothing) when not root or when the package archive
# cannot be reached to make the root; the binary is build/sanitize/installWalletForLinux (or
# $CORVANE_BINARY).
set -eu
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "real-system tests skipped: they need root (namespaces, chroot, a second user)"
    exit 0
fi
. scripts/packages.sh
# iproute2: loopback in the beds' network namespace; dpkg-dev: dpkg-scanpackages for the
# package index.
# gnupg: the maker's signature of the sample archive.
ensure_packages iproute2 dpkg-dev gnupg tmux python3 python3-pytest python3-pyftpdlib util-linux \
    ansible-core

# The root: sudo, wget, gpgv (Debian 13's apt no longer brings it), procps (skill), passwd
# (su), adduser and desktop-file-utils as the installer uses them; libasan8 and libubsan1 run the same sanitizer build as the sandbox
# tests, so memory faults that only real tools' output can cause are caught here too;
# python3 runs the modules of the fleet example, played from here by ansible-core through a
# connection into the root (tests/realsys/ansible).
roots=""
for suite in ${CORVANE_REAL_SUITES:-bookworm trixie}; do
    status=0
    tarball=$(scripts/debian-root.sh "$suite" sudo wget gpgv procps passwd adduser \
        desktop-file-utils libasan8 libubsan1 python3) || status=$?
    if [ "$status" -eq 3 ]; then
        echo "real-system tests skipped: the package archive cannot be reached to make the root"
        exit 0
    elif [ "$status" -ne 0 ]; then
        echo "real-system tests: the Debian $suite root could not be made" >&2
        exit 1
    fi
    roots="$roots $suite=$tarball"
done

binary=${CORVANE_BINARY:-build/sanitize/installWalletForLinux}
if [ ! -x "$binary" ]; then
    echo "real-system tests: no installer binary at $binary (build it first)" >&2
    exit 1
fi

# The rest runs in a mount namespace of its own, where the work folder is a tmpfs: the
# roots unpack quickly there, and the folder with everything mounted in it goes away with the
# namespace however this run ends.
if [ -z "${CORVANE_RS_PRIVATE:-}" ]; then
    CORVANE_RS_PRIVATE=1 CORVANE_REAL_ROOTS="$roots" CORVANE_BINARY="$(realpath "$binary")" \
        exec unshare --mount --propagation private -- /bin/sh "$0" "$@"
fi
work=$(mktemp -d /var/tmp/corvane-rs.XXXXXX)
mount -t tmpfs -o mode=0700,size=4g corvane-rs "$work"
trap 'umount -l "$work" 2>/dev/null; rmdir "$work" 2>/dev/null' EXIT
trap 'exit 130' INT TERM

export CORVANE_RS_WORK="$work"
# The whole suite unless the arguments name test files or folders of their own.
named=""
for arg in "$@"; do
    case "$arg" in tests/*) named=1 ;; esac
done
[ -n "$named" ] || set -- tests/realsys "$@"
failed=0
for entry in $CORVANE_REAL_ROOTS; do
    suite=${entry%%=*}
    echo "== real-system tests in the Debian $suite root"
    started=$(date +%s)
    CORVANE_REAL_ROOT=${entry#*=} /usr/bin/python3 -m pytest -q -p no:cacheprovider "$@" ||
        failed=1
    echo "== real-system tests in the Debian $suite root: $(($(date +%s) - started))s"
done
exit "$failed"
