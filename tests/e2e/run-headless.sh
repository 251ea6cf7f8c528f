#!/usr/bin/env bash
# Runs one command inside a private, throw-away desktop session for the end-to-end tests:
#   run-headless.sh [--screen WxHxD] [--no-wm] -- COMMAND [ARGS...]
# Starts an X server (Xvfb), a session D-Bus, the accessibility bus and a window manager, all
# private to this run, runs COMMAND with DISPLAY and the bus addresses exported, and stops every
# process it started (by PID) when COMMAND ends. Exits with COMMAND's status.
set -euo pipefail

screen_geometry=1280x1024x24
window_manager=openbox
while (($#)); do
  case "$1" in
    --screen) screen_geometry="$2"; shift 2 ;;
    --no-wm) window_manager=""; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if (($# == 0)); then
  echo "usage: $0 [--screen WxHxD] [--no-wm] -- COMMAND [ARGS...]" >&2
  exit 2
fi

harness=run-headless
started=()
source "$(dirname "${BASH_SOURCE[0]}")/session-common.sh"
require_tools Xvfb
make_session_dir ovra-e2e

stop_session() {
  local status=$?
  set +e
  # Newest first: the window manager, the accessibility bus, the session bus, the X server.
  local i pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do kill "${started[i]}" 2>/dev/null; done
  for pid in "${started[@]}"; do
    for _ in {1..40}; do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null
  done
  # The accessibility bus daemon and registry are children of the launcher, started with
  # addresses inside the session folder; they go with it.
  for pid in $(pgrep -f -- "$session_dir/" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  rm -rf "$session_dir"
  exit "$status"
}
trap stop_session EXIT
trap 'exit 130' INT TERM

# 1. The X server picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 5 -screen 0 "$screen_geometry" -nolisten tcp -noreset \
  5>"$session_dir/display" >"$session_dir/xvfb.log" 2>&1 &
started+=($!)
wait_until 15 test -s "$session_dir/display" || fail "the X server did not start" "$session_dir/xvfb.log"
export DISPLAY=":$(tr -d '[:space:]' <"$session_dir/display")"
wait_until 15 xdpyinfo || fail "the X server on $DISPLAY does not answer"

# 2. A session bus of our own, and the accessibility bus, switched on.
start_session_bus
start_accessibility_bus

# 3. A window manager: without one no window is ever active and nothing has the focus.
if [[ -n $window_manager ]]; then
  command -v openbox >/dev/null || fail "openbox is not installed (scripts/setup.sh)"
  openbox --sm-disable >"$session_dir/openbox.log" 2>&1 &
  started+=($!)
  wait_until 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' \
    || fail "the window manager did not start" "$session_dir/openbox.log"
fi

# 4. Toolkits publish their accessibility trees; both use X11.
unset NO_AT_BRIDGE WAYLAND_DISPLAY
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb GDK_BACKEND=x11
# An X11 session, whatever session this was started from.
export XDG_SESSION_TYPE=x11
export OVRA_E2E_SESSION_DIR="$session_dir"

set +e
"$@"
status=$?
set -e
exit "$status"
