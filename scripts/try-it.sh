#!/bin/sh
# Builds the installer and starts it in a sandbox in this terminal: a temporary HOME, stand-ins
# for sudo, apt-get and the other system tools, and a local FTP server with a sample wallet
# archive. Nothing on this machine changes; the sandbox is removed when the installer ends.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh

# gnupg makes and uses the sandbox's throwaway signing key; gpgv checks the signature.
ensure_packages cmake ninja-build g++ python3 python3-pyftpdlib wget gnupg gpgv

# Its own build folder: this build reads the maker's keyring from beside itself, where the
# sandbox puts its throwaway key (a build for real use reads it from /usr/share).
cmake -S . -B build/try-it -G Ninja -DCORVANE_ARCHIVE_KEYRING=archive-keyring.gpg \
    -DCORVANE_TESTS=OFF
cmake --build build/try-it --target installWalletForLinux

exec /usr/bin/python3 tests/sandbox/try_it.py build/try-it/installWalletForLinux "$@"
