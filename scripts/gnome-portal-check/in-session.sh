#!/usr/bin/env bash
# Runs inside the headless GNOME session of scripts/gnome-portal-check.sh.
set -u
log=$(mktemp)
export XDG_DATA_HOME=$(mktemp -d)
export PATH=$PWD/build-debian13/src:$PATH # the portal finds the desktop file's program
mkdir -p "$XDG_DATA_HOME/applications"
cp data/app.ovra.Ovra.desktop "$XDG_DATA_HOME/applications/" # the id the portal is told
/usr/libexec/xdg-desktop-portal --replace >/dev/null 2>&1 &
sleep 3
QT_LOGGING_RULES="ovra.*=true" QT_MESSAGE_PATTERN="%{category}: %{message}" \
  ovra >"$log" 2>&1 &
sleep 4
python3 scripts/gnome-portal-check/approve.py
sleep 3
grep "ovra.platform.wayland" "$log"
for letter in y t; do # a key nobody holds, then the one GNOME offered
  before=$(wc -l <"$log")
  python3 scripts/gnome-portal-check/press.py $letter
  sleep 2
  echo "after Alt+Super+$letter:"
  tail -n +$((before + 1)) "$log" | grep "^ovra"
done
