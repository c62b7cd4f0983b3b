# The Debian 12 packages that MOXU's builds, tests and Wine runs need; sourced by run.sh, test.sh and CI.
MOXU_PACKAGES=(
    cmake make g++ python3 googletest libgtest-dev clang libclang-rt-14-dev
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxfixes3 libxinerama1
    xvfb xauth x11-utils imagemagick fonts-ipafont-gothic util-linux
)

# Installs whatever is missing: with apt-get as root, otherwise says what to run.
moxu_ensure_packages() {
    local installed missing=() p
    installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${MOXU_PACKAGES[@]}" 2>/dev/null |
        awk '$2 == "installed" { print $1 }')
    for p in "${MOXU_PACKAGES[@]}"; do
        grep -qx "$p" <<<"$installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]}" >&2
        echo "install them with: sudo apt-get install ${missing[*]}" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
}
