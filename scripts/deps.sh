# Installs the Debian packages that the build, the tests and the wizard need, when any is missing.
# Sourced by the top-level scripts; uses sudo when not run as root.
PARLAVOX_PACKAGES=(
    cmake make g++ clang libclang-rt-14-dev googletest libcli11-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool imagemagick
    lhasa p7zip-full libarchive-tools jlha-utils gzip python3 util-linux procps hyperfine
    openssl osslsigncode icoutils libzstd-dev zstd dpkg-dev fonts-wine ccache clang-format locales-all
)
# The zstd release behind the dense method: the native build links Debian's libzstd-dev, the
# Windows programs are built from Debian's source package of this version (cmake/Zstd.cmake).
PARLAVOX_ZSTD_SOURCE_VERSION=1.5.4+dfsg2-5
PARLAVOX_ZSTD_SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/deps"
PARLAVOX_DEB_SRC_LIST=/etc/apt/sources.list.d/parlavox-deb-src.sources

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

# Unpacks Debian's zstd source package of the pinned version into build/deps (outside the tracked
# tree) unless it is there: a deb-src entry for the release's main archive, then `apt-get source`
# (apt checks the .dsc against the signed Sources index, dpkg-source the tarballs' checksums).
parlavox_fetch_zstd_source() {
    local folder="$PARLAVOX_ZSTD_SOURCE_DIR/libzstd-${PARLAVOX_ZSTD_SOURCE_VERSION%-*}"
    [ -f "$folder/lib/zstd.h" ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if ! apt-cache showsrc zstd 2>/dev/null | grep -qx "Version: $PARLAVOX_ZSTD_SOURCE_VERSION"; then
        echo "Adding a deb-src entry for Debian's main archive ($PARLAVOX_DEB_SRC_LIST)"
        local codename uri
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
        # The mirror this machine already uses for its binary packages (a deb822 .sources file or a
        # one-line "deb URI SUITE" entry), not a host of our own choosing.
        uri=$(awk -v own="$PARLAVOX_DEB_SRC_LIST" 'FILENAME != own && $1 == "URIs:" {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null)
        [ -n "$uri" ] || uri=$(awk '$1 == "deb" {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z+]+:\/\//) {print $i; exit}}' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null)
        [ -n "$uri" ] || { echo "No apt source is configured to take the source package from" >&2; return 1; }
        printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$uri" "$codename" | $sudo tee "$PARLAVOX_DEB_SRC_LIST" >/dev/null
        $sudo apt-get update -qq
    fi
    mkdir -p "$PARLAVOX_ZSTD_SOURCE_DIR"
    (cd "$PARLAVOX_ZSTD_SOURCE_DIR" && apt-get source -qq "zstd=$PARLAVOX_ZSTD_SOURCE_VERSION") || {
        echo "Could not fetch the zstd source package $PARLAVOX_ZSTD_SOURCE_VERSION" >&2
        return 1
    }
    [ -f "$folder/lib/zstd.h" ]
}
