#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Ovra needs; with --package,
# only what building its Debian package needs (scripts/package.sh).
# Idempotent and non-interactive; run as root (or through sudo) on Debian 12 or 13.
set -euo pipefail

# The names that differ between releases.
. /etc/os-release
case ${VERSION_CODENAME:-} in
  trixie) clang_runtime=libclang-rt-19-dev ;;
  *) clang_runtime=libclang-rt-14-dev ;;
esac

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libqt6svg6 qcoro-qt6-dev
  nlohmann-json3-dev libatspi2.0-dev libglib2.0-dev
  libx11-dev libxi-dev libxtst-dev libxfixes-dev libexttextcat-dev
  # icons and the Debian package (dpkg-shlibdeps names the library dependencies)
  librsvg2-bin dpkg-dev file
)
[[ ${1-} == --package ]] || packages+=(
  clang-format
  # on-device translation: Apertium with English<->Spanish and Spanish<->Portuguese (the pivot
  # makes English -> Portuguese work offline)
  apertium apertium-eng-spa apertium-es-pt libexttextcat-data
  # fuzzing: clang with its libFuzzer runtime
  clang "$clang_runtime"
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libcpp-httplib-dev libbenchmark-dev
  # headless desktop for the end-to-end tests
  xvfb xauth at-spi2-core dbus-daemon dbus-bin dbus-x11 libglib2.0-bin x11-utils openbox xdotool xclip
  python3-gi gir1.2-gtk-3.0 fonts-dejavu-core
  # real applications as end-to-end targets: editors on GTK 3, GTK 4 and KDE's Qt 5, a Gecko and
  # a Chromium browser, an office suite drawing its own text inside GTK 3
  mousepad gnome-text-editor kwrite firefox-esr chromium libreoffice-writer libreoffice-gtk3
  # the Debian package's checks
  desktop-file-utils appstream
  # GTK 4's introspection data, as on most desktops: the GTK target must still load GTK 3
  gir1.2-gtk-4.0
  # terminals for the copy and paste fallbacks (xterm, and sakura over VTE), a compositor
  xterm sakura xcompmgr
  # headless Wayland desktops for the Wayland end-to-end tests (tests/e2e/run-wayland.sh): KWin
  # and GNOME Shell with XWayland, Qt's Wayland platform, the tests' accessibility and D-Bus
  # helpers. No xdg-desktop-portal*: GTK applications in the X11 sessions would start the portals
  # on demand, and those outlive a session that stops only its own processes.
  kwin-wayland xwayland qt6-wayland gnome-shell mutter gir1.2-atspi-2.0 python3-dbus
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
