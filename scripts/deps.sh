# Installs the Debian packages that the build, the tests and the wizard need, when any is missing.
# Sourced by the top-level scripts; uses sudo when not run as root.
PARLAVOX_PACKAGES=(
    cmake make g++ clang libclang-rt-14-dev googletest libcli11-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool imagemagick
    lhasa p7zip-full libarchive-tools jlha-utils gzip python3 util-linux procps hyperfine
    openssl osslsigncode icoutils
)

parlavox_install_packages() {
    local missing=()
    for p in "${PARLAVOX_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing missing packages: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
