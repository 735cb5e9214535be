# Debian packages the console needs to build, test and run; sourced by ./test and ./run.
TARN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    libusb-1.0-0-dev libpugixml-dev qt6-base-dev fonts-dejavu-core
    libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev clang-format
    umockdev libumockdev-dev
    qt6-svg-dev # the program's SVG icon needs Qt's SVG icon engine at run time
    librsvg2-bin udev dpkg-dev file desktop-file-utils appstream lintian
    # publish: the MQTT client library, and a broker, its command-line clients and openssl for
    # the tests and the README's examples
    libmosquitto-dev mosquitto mosquitto-clients openssl
)

# Installs only the packages that are not installed yet, and says what it does either way.
ensure_packages() {
    local missing=() p
    for p in "${TARN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "==> All required packages are installed"
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "==> Installing missing packages: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}
