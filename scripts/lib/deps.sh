# Shared by the scripts: install the Debian packages the build needs when they are missing.
# pkgconf finds libsodium and cpp-httplib (which says through it what it was built with);
# prometheus brings promtool, which the API's protocol test runs over the metrics.
TALVORN_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev ccache
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    libcli11-dev dpkg-dev pkgconf libcpp-httplib-dev nlohmann-json3-dev libsodium-dev prometheus
    lintian appstream # the package's checks
    xvfb xauth dbus-x11 at-spi2-core python3-pyatspi) # the a11y label: display, buses, client

install_deps() {
    local missing=()
    local p
    for p in "${TALVORN_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    if [[ $(id -u) -ne 0 ]]; then
        echo "missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
        return 1
    fi
    echo "installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
