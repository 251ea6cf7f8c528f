#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, unpacks it into a temporary folder
# and checks what a user gets: the desktop entry and the AppStream data validate, the icons, the
# manual page and the package relations are there, and the unpacked program runs.
# Usage: check_package.sh BUILD_DIR   (built: the ovra and ovra_icons targets at least)
set -euo pipefail
build=$(cd "$1" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/ovra-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "check_package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name '*.deb' | head -n 1)
[[ -n $deb ]] || fail "no .deb was produced"

dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr

depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends lacks the Qt libraries (shlibdeps): $depends"
for package in at-spi2-core apertium fonts-noto-color-emoji; do
  [[ $recommends == *"$package"* ]] || fail "Recommends lacks $package: $recommends"
done

desktop-file-validate "$root/share/applications/app.ovra.Ovra.desktop"
grep -q '^Actions=.*capture' "$root/share/applications/app.ovra.Ovra.desktop" ||
  fail "the desktop entry has no capture action"
appstreamcli validate --no-net "$root/share/metainfo/app.ovra.Ovra.metainfo.xml"

[[ -f $root/share/icons/hicolor/scalable/apps/app.ovra.Ovra.svg ]] || fail "no scalable icon"
for size in 16 32 48 64 128 256; do
  [[ -f $root/share/icons/hicolor/${size}x${size}/apps/app.ovra.Ovra.png ]] ||
    fail "no ${size}x${size} icon"
done
[[ -f $root/share/man/man1/ovra.1 || -f $root/share/man/man1/ovra.1.gz ]] || fail "no manual page"
# Both forms of the GNOME Shell extension (43-44, 45 and later), one also where every shell looks.
for extension in ovra/gnome-shell/43 ovra/gnome-shell/45 gnome-shell/extensions; do
  grep -q '"uuid": "ovra@ovra.app"' "$root/share/$extension/ovra@ovra.app/metadata.json" ||
    fail "no GNOME Shell extension in share/$extension"
done
grep -q '^export default class' "$root/share/ovra/gnome-shell/45/ovra@ovra.app/extension.js" ||
  fail "the extension for GNOME 45 and later is no ES module"

version=$(env -u DISPLAY "$root/bin/ovra" --version)
[[ $version == "ovra "[0-9]* ]] || fail "unexpected --version output: $version"
echo "package ok: $(basename "$deb") ($version)"
