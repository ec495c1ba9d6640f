#!/usr/bin/env bash
# Installs the Debian packages Ticora needs that this machine lacks, and says which.
#   install-deps.sh run    what building and running the program takes
#   install-deps.sh test   that, plus the headless desktop the tests run on and the checkers
#   install-deps.sh deb    that of run, plus what building the Debian package takes
set -euo pipefail

build_and_run=(
    cmake ninja-build g++ make pkg-config
    qt6-base-dev qt6-multimedia-dev libgl-dev libxcb1-dev qt6-qpa-plugins
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
    fonts-wqy-microhei qt6-translations-l10n
)
headless_desktop=(
    xvfb xauth openbox trayer xdotool x11-utils xclip dbus dbus-x11
    pulseaudio pulseaudio-utils sox libsox-fmt-mp3 lame imagemagick python3
    at-spi2-core python3-pyatspi libfaketime
    desktop-file-utils appstream clang-tidy clang-format
)
debian_package=(dpkg-dev file)

case "${1:-run}" in
    run) wanted=("${build_and_run[@]}") ;;
    test) wanted=("${build_and_run[@]}" "${headless_desktop[@]}") ;;
    deb) wanted=("${build_and_run[@]}" "${debian_package[@]}") ;;
    *) echo "usage: $0 run|test|deb" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing Debian packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "error: not root and no sudo; install them by hand: apt-get install ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
