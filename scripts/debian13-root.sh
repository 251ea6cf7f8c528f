#!/usr/bin/env bash
# A Debian 13 (trixie) root for building and testing Ovra against Qt 6.8, QCoro 0.12 and GCC 14
# on a Debian 12 machine, and for running today's GNOME Shell and KWin headless.
# Usage (as root):
#   scripts/debian13-root.sh                 make the root when missing, else check and reuse it
#   scripts/debian13-root.sh run -- COMMAND  run COMMAND inside it, this clone bound at /src
# The root lives in $OVRA_DEBIAN13_ROOT (default /var/cache/ovra/debian13-root); making it takes
# about a quarter of an hour and 2 GB.
set -euo pipefail

root=${OVRA_DEBIAN13_ROOT:-/var/cache/ovra/debian13-root}
clone=$(cd "$(dirname "$0")/.." && pwd)
stamp=etc/ovra-root-packages # inside the root: the packages it was made (or topped up) with

# The host's tools for making the root and running in it.
for tool in mmdebstrap:mmdebstrap bwrap:bubblewrap; do
  command -v "${tool%%:*}" >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${tool#*:}" >/dev/null
done

packages=(
  # today's desktops and the editors the end-to-end tests drive
  gnome-shell mutter gnome-text-editor kwin-wayland kwrite xwayland qt6-wayland xvfb xauth
  at-spi2-core dbus-daemon dbus-bin python3-gi gir1.2-atspi-2.0 python3-dbus x11-utils xdotool
  # the end-to-end tests' own GTK 3 target, Qt's X11 platform for the program, gdbus and gsettings
  gir1.2-gtk-3.0 qt6-qpa-plugins libglib2.0-bin fonts-dejavu-core
  # Ovra's build and test dependencies, and ccache for rebuilds
  build-essential cmake ninja-build pkg-config ccache qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  qcoro-qt6-dev nlohmann-json3-dev libatspi2.0-dev libglib2.0-dev libx11-dev libxi-dev libxtst-dev
  libxfixes-dev libexttextcat-dev googletest libgtest-dev libgmock-dev libcpp-httplib-dev
  libbenchmark-dev
  # on-device translation, as scripts/setup.sh installs it
  apertium apertium-eng-spa apertium-es-pt libexttextcat-data
  # the Debian package: icons, dpkg-shlibdeps, and the package check
  librsvg2-bin dpkg-dev file desktop-file-utils appstream
  # the desktop portal and the backends whose GlobalShortcuts hold the shortcut on Plasma 6 and
  # GNOME 48
  xdg-desktop-portal xdg-desktop-portal-kde xdg-desktop-portal-gnome
)

# Runs a command inside the root. /sys is bound because GNOME Shell and KWin read it; apt needs
# /tmp at mode 1777; the network is the host's, so apt inside reaches the same mirror.
in_root() {
  bwrap --bind "$root" / --proc /proc --dev /dev --ro-bind /sys /sys \
    --perms 1777 --tmpfs /tmp --perms 1777 --dir /tmp/.X11-unix \
    --ro-bind /etc/resolv.conf /etc/resolv.conf \
    --bind "$clone" /src --chdir /src \
    --setenv PATH /usr/sbin:/usr/bin:/sbin:/bin --setenv HOME /root \
    --setenv CCACHE_DIR /var/cache/ccache "$@"
}

make_root() {
  # Built aside and renamed at the end, so a half-made root is never taken for a finished one.
  local partial=$root.partial
  rm -rf "$partial"
  mkdir -p "$(dirname "$root")"
  mmdebstrap --variant=apt --include="$(IFS=,; echo "${packages[*]}")" \
    trixie "$partial" http://deb.debian.org/debian
  printf '%s\n' "${packages[@]}" >"$partial/$stamp"
  mv "$partial" "$root"
}

# A root made from an older list (or before the stamp existed) gets what is missing.
top_up() {
  printf '%s\n' "${packages[@]}" | cmp -s - "$root/$stamp" && return
  in_root env DEBIAN_FRONTEND=noninteractive sh -c \
    'apt-get update -qq && apt-get install -y -qq --no-install-recommends "$@" >/dev/null' \
    sh "${packages[@]}"
  printf '%s\n' "${packages[@]}" >"$root/$stamp"
}

[[ -d $root ]] || make_root
top_up

if (($#)); then
  [[ $1 == run && ${2-} == -- && $# -gt 2 ]] || { echo "usage: $0 [run -- COMMAND...]" >&2; exit 2; }
  shift 2
  in_root "$@"
fi
