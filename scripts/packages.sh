# Installs the Debian packages given as arguments when any of them is missing (apt-get,
# through sudo when not root). Sourced by try-it.sh and test.sh.
ensure_packages() {
    missing=""
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $p"
        fi
    done
    [ -z "$missing" ] && return 0
    echo "Installing the Debian packages that are missing:$missing"
    if [ "$(id -u)" -eq 0 ]; then
        as_root=""
    elif command -v sudo >/dev/null 2>&1; then
        as_root="sudo"
    else
        echo "error: not root and sudo is missing; install as root: apt-get install -y$missing" >&2
        return 1
    fi
    if [ -z "${CORVANE_APT_UPDATED:-}" ]; then
        $as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update
        CORVANE_APT_UPDATED=1
    fi
    # shellcheck disable=SC2086
    $as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends $missing
}
