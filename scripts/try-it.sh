#!/bin/sh
# Builds the installer and starts it in a sandbox in this terminal: a temporary HOME, stand-ins
# for sudo, apt-get and the other system tools, and a local FTP server with a sample wallet
# archive. Nothing on this machine changes; the sandbox is removed when the installer ends.
set -eu
cd "$(dirname "$0")/.."
. scripts/packages.sh

ensure_packages cmake ninja-build g++ python3 python3-pyftpdlib wget

cmake -S . -B build -G Ninja
cmake --build build --target installWalletForLinux

exec /usr/bin/python3 tests/sandbox/try_it.py build/installWalletForLinux "$@"
