# Sourced by the set-up scripts: ensure_packages PKG... installs the Debian
# packages that are missing, with apt-get, when run as root.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    if [ -z "${packages_updated:-}" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 update -qq
        packages_updated=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building the Vulkan engine needs, and lavapipe, the software Vulkan
# device its tests run on.
vulkan_packages=(libvulkan-dev glslc spirv-headers mesa-vulkan-drivers)

# ensure_cross_tools SCRIPT PACKAGE...: ensure_packages for a cross build's
# set-up script, with npm, which fetches the engine's source; where they
# can't be had (not Debian, or not root) SCRIPT says so and exits with 77,
# skipped.
ensure_cross_tools() {
    local script=$1
    shift
    command -v dpkg-query >/dev/null && command -v apt-get >/dev/null ||
        { echo "$script: not a Debian system: the cross tools come from Debian's packages" >&2; exit 77; }
    ensure_packages "$@" || { echo "$script: the cross tools above can't be installed" >&2; exit 77; }
    command -v npm >/dev/null || ensure_packages npm || { echo "$script: npm can't be installed" >&2; exit 77; }
}
