#!/usr/bin/env bash
# A check by hand of the shortcut through GNOME 48's GlobalShortcuts portal, in the Debian 13 root
# (not part of the suites: the portal asks the user to approve, and the headless session's own
# portal starts before it knows it is GNOME). It installs the portal's GNOME backend in the root,
# starts a headless GNOME Shell with Ovra (build-debian13), lets the portal take over, approves the
# shortcuts in GNOME's dialog over the accessibility bus, presses the key GNOME chose through
# mutter's remote desktop interface, and prints what Ovra logged.
#   bash scripts/gnome-portal-check.sh      (after the Debian 13 part of scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/debian13-root.sh run -- env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends xdg-desktop-portal-gnome >/dev/null
bash scripts/debian13-root.sh run -- tests/e2e/run-wayland.sh --gnome \
  --extension build-debian13/data/gnome-shell/45/ovra@ovra.app \
  -- bash scripts/gnome-portal-check/in-session.sh
