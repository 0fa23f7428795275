#!/usr/bin/env bash
# Installs the Debian packages that building and testing Swipetype needs, and only
# those that are missing. Works as root (no sudo needed) and as a user with sudo.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    clang libclang-rt-14-dev clang-format clang-tidy-14
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libx11-dev libx11-xcb-dev libxtst-dev libxkbcommon-dev libxkbcommon-x11-dev libevdev-dev
    libudev-dev libsystemd-dev libwayland-dev libwayland-bin libglib2.0-dev
    plasma-wayland-protocols libxcb-xkb-dev
    xvfb x11-xkb-utils xdotool
    libgtk-3-dev libdbusmenu-glib-dev fonts-dejavu-core fonts-dejavu-extra trayer openbox imagemagick
    help2man dpkg-dev fakeroot lintian man-db desktop-file-utils debootstrap bsdextrautils
    bash-completion
    dbus-daemon dbus-bin python3-dbusmock util-linux
    sway waybar wev wtype grim weston xwayland libglib2.0-bin coreutils mutter cage x11-utils
    x11-xserver-utils
    kwin-wayland
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all build and test packages are present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
if ((EUID == 0)); then
    run_as_root=()
elif command -v sudo >/dev/null; then
    run_as_root=(sudo)
else
    echo "install-deps: missing packages and neither root nor sudo: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -q
"${run_as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
