# Installs the Debian packages that the build, the tests and the wizard need, when any is missing.
# Sourced by the top-level scripts; uses sudo when not run as root.
PARLAVOX_PACKAGES=(
    cmake make g++ clang libclang-rt-14-dev googletest libcli11-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool imagemagick
    lhasa p7zip-full libarchive-tools jlha-utils gzip python3 util-linux procps hyperfine
    openssl libssl-dev osslsigncode icoutils libzstd-dev zstd dpkg-dev fonts-wine ccache clang-format locales-all
)
# The zstd release behind the dense method's Windows programs, from Debian's source package in
# the suite and component named here (cmake/Zstd.cmake builds it; the native build links the
# system's libzstd-dev, which must not be newer).
PARLAVOX_ZSTD_SOURCE_VERSION=1.5.7+dfsg-1
PARLAVOX_ZSTD_SOURCE_SUITE=trixie
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

# The URI of the machine's own Debian archive: the deb822 stanza (or one-line "deb URI SUITE" entry)
# that serves the installed release itself, so that a mirror or proxy the machine uses serves the
# source package too.
parlavox_debian_archive_uri() {
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    awk -v own="$PARLAVOX_DEB_SRC_LIST" -v suite="$codename" '
        function flush() {
            if (!found && types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uris != "") {
                print uris
                found = 1
            }
            types = uris = suites = ""
        }
        FNR == 1 { flush() }
        FILENAME == own { next }
        /^[ \t]*$/ { flush(); next }
        $1 == "Types:" { $1 = ""; types = $0 " " }
        $1 == "URIs:" { uris = $2 }
        $1 == "Suites:" { $1 = ""; suites = $0 }
        END { flush() }
    ' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1
    awk -v suite="$codename" '$1 == "deb" {
        for (i = 2; i < NF; i++) if ($i ~ /^[a-z+]+:\/\// && $(i + 1) == suite) { print $i; exit } }' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1
}

# Unpacks Debian's zstd source package of the pinned version into build/deps (outside the tracked
# tree) unless it is there: a deb-src entry for the pinned suite's main component on the machine's
# own Debian archive, then `apt-get source` (apt checks the .dsc against the Sources index that the
# archive key signs, dpkg-source the tarballs' checksums against the .dsc).
parlavox_fetch_zstd_source() {
    local upstream=${PARLAVOX_ZSTD_SOURCE_VERSION%-*}
    local folder="$PARLAVOX_ZSTD_SOURCE_DIR/libzstd-$upstream"
    [ -f "$folder/lib/zstd.h" ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if ! apt-cache showsrc zstd 2>/dev/null | grep -qx "Version: $PARLAVOX_ZSTD_SOURCE_VERSION"; then
        echo "Adding a deb-src entry for Debian's $PARLAVOX_ZSTD_SOURCE_SUITE/main ($PARLAVOX_DEB_SRC_LIST)"
        local uri
        uri=$(parlavox_debian_archive_uri | head -n 1)
        [ -n "$uri" ] || { echo "No apt source of the Debian archive is configured to take the source package from" >&2; return 1; }
        printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$uri" "$PARLAVOX_ZSTD_SOURCE_SUITE" | $sudo tee "$PARLAVOX_DEB_SRC_LIST" >/dev/null
        $sudo apt-get update -qq
    fi
    mkdir -p "$PARLAVOX_ZSTD_SOURCE_DIR"
    # The version pinned exactly: apt refuses a .dsc that the signed index does not list.
    (cd "$PARLAVOX_ZSTD_SOURCE_DIR" && apt-get source -qq "zstd=$PARLAVOX_ZSTD_SOURCE_VERSION") || {
        echo "Could not fetch the zstd source package $PARLAVOX_ZSTD_SOURCE_VERSION" >&2
        return 1
    }
    [ -f "$folder/lib/zstd.h" ]
}
