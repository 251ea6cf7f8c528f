#!/usr/bin/env bash
# Runs one command inside a private, throw-away Wayland session for the end-to-end tests:
#   run-wayland.sh --kde|--gnome [--screen WxH] [--extension DIR]... -- COMMAND [ARGS...]
# Starts a session D-Bus, the accessibility bus and a headless compositor with XWayland (KWin 5.27
# or 6, GNOME Shell 43 to 48), all private to this run, runs COMMAND with WAYLAND_DISPLAY, DISPLAY
# and the bus addresses exported, and stops every process it started when COMMAND ends, including
# those the buses started on demand. Exits with COMMAND's status.
#   --extension DIR  (GNOME) a Shell extension (DIR/metadata.json names its uuid) enabled at start
# Exported besides: XDG_SESSION_TYPE=wayland, XDG_CURRENT_DESKTOP, A11Y_BUS, OVRA_E2E_SESSION_DIR.
# No toolkit backend is forced: the tests start their applications with the one they mean.
set -euo pipefail

desktop=""
screen_size=1280x800
extensions=()
while (($#)); do
  case "$1" in
    --kde | --gnome) desktop="${1#--}"; shift ;;
    --screen) screen_size="$2"; shift 2 ;;
    --extension) extensions+=("$(cd "$2" && pwd)"); shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [[ -z $desktop ]] || (($# == 0)); then
  echo "usage: $0 --kde|--gnome [--screen WxH] [--extension DIR]... -- COMMAND [ARGS...]" >&2
  exit 2
fi
width=${screen_size%x*}
height=${screen_size#*x}

compositor=kwin_wayland
[[ $desktop == gnome ]] && compositor=gnome-shell
harness=run-wayland
started=()
a11y_address=""
source "$(dirname "${BASH_SOURCE[0]}")/session-common.sh"
require_tools "$compositor" Xwayland
make_session_dir ovra-wayland
a11y_daemon=""

# The PIDs of every connection on a bus: all of them were started inside this session.
bus_connections() {
  local name
  for name in $(gdbus call --address "$1" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.ListNames 2>/dev/null | grep -o "':[0-9.]*'" | tr -d "'"); do
    gdbus call --address "$1" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
      -m org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null |
      sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
  done
}
# Running and not a zombie (an orphan re-parented to a container's init may stay one).
is_alive() { [[ -r /proc/$1/stat ]] && ! sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | grep -q '^Z'; }

stop_session() {
  local status=$?
  set +e
  # Services the buses started on demand (the registry, dconf, portals...) are no children of
  # ours: they are found by the PIDs their bus reports, and only taken when their environment
  # names this session's runtime folder. Then our own processes, newest first.
  local pid victims=() candidates=()
  [[ -n $a11y_address ]] && candidates+=($(bus_connections "$a11y_address"))
  candidates+=($(bus_connections "$DBUS_SESSION_BUS_ADDRESS"))
  for pid in "${candidates[@]}"; do
    [[ $pid == "$$" ]] && continue
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$session_dir/runtime" || continue
    case " ${started[*]} ${victims[*]} " in *" $pid "*) ;; *) victims+=("$pid") ;; esac
  done
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do victims+=("${started[i]}"); done
  [[ -n $a11y_daemon ]] && victims+=("$a11y_daemon")
  for pid in "${victims[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${victims[@]}"; do
    for _ in {1..40}; do is_alive "$pid" || break; sleep 0.05; done
    is_alive "$pid" && kill -9 "$pid" 2>/dev/null
  done
  rm -rf "$session_dir"
  exit "$status"
}
trap stop_session EXIT
trap 'exit 130' INT TERM

unset DISPLAY WAYLAND_DISPLAY XAUTHORITY GDK_BACKEND QT_QPA_PLATFORM NO_AT_BRIDGE

# 1. A session bus of our own.
start_session_bus

# 1b. GNOME Shell asks logind on the system bus when /run/systemd/seats exists (it does in Debian
#     images) and aborts without a system bus: an empty private one is enough.
if [[ $desktop == gnome ]] && ! gdbus call --system -d org.freedesktop.DBus \
  -o /org/freedesktop/DBus -m org.freedesktop.DBus.GetId >/dev/null 2>&1; then
  cat >"$session_dir/system-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path=$session_dir/system-bus</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
  dbus-daemon --config-file="$session_dir/system-bus.conf" --nofork --nopidfile \
    >"$session_dir/system-dbus.log" 2>&1 &
  started+=($!)
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$session_dir/system-bus"
  wait_until 15 gdbus call --system -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetId || fail "the private system bus did not start" "$session_dir/system-dbus.log"
fi

# 2. The accessibility bus, switched on, before the compositor (GNOME Shell joins it at start).
start_accessibility_bus
export A11Y_BUS=$a11y_address
a11y_daemon=$(gdbus call --address "$a11y_address" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
  -m org.freedesktop.DBus.GetConnectionUnixProcessID org.freedesktop.DBus 2>/dev/null |
  sed -n 's/^(uint32 \([0-9]*\),)$/\1/p' || true)

# 3. The compositor with XWayland.
export WAYLAND_DISPLAY=wayland-ovra XDG_SESSION_TYPE=wayland
compositor_log="$session_dir/compositor.log"
case $desktop in
  kde)
    # KDE_FULL_SESSION and KDE_SESSION_VERSION follow once KWin runs: KWin 6.3 aborts at start
    # when both are set.
    export XDG_CURRENT_DESKTOP=KDE
    kwin=$(command -v kwin_wayland)
    # Debian gives kwin_wayland the file capability cap_sys_resource; in a container whose
    # bounding set lacks it, exec fails with EPERM. A copy carries no capability.
    if ! "$kwin" --version >/dev/null 2>&1; then
      cp "$kwin" "$session_dir/kwin_wayland"
      kwin="$session_dir/kwin_wayland"
    fi
    KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$kwin" --virtual --xwayland --no-lockscreen \
      --width "$width" --height "$height" --socket "$WAYLAND_DISPLAY" >"$compositor_log" 2>&1 &
    ;;
  gnome)
    export XDG_CURRENT_DESKTOP=GNOME
    # GNOME Shell starts in the Overview, where no window has the focus and X11 windows are
    # hidden: a few lines of extension close it once the shell has started.
    uuids=("'ovra-no-overview@local'")
    no_overview="$XDG_DATA_HOME/gnome-shell/extensions/ovra-no-overview@local"
    mkdir -p "$no_overview"
    major=$(gnome-shell --version | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')
    echo "{\"uuid\": \"ovra-no-overview@local\", \"name\": \"No overview\", \"description\": \"Closes the overview at start\", \"shell-version\": [\"${major:-43}\"]}" \
      >"$no_overview/metadata.json"
    body=$(cat <<'JS'
{
    enable() {
        if (Main.layoutManager._startingUp)
            this._id = Main.layoutManager.connect('startup-complete', () => Main.overview.hide());
        else
            Main.overview.hide();
    },
    disable() { if (this._id) Main.layoutManager.disconnect(this._id); },
}
JS
)
    if [[ ${major:-43} -ge 45 ]]; then # ES modules only from GNOME 45 on
      printf '%s\n' "import * as Main from 'resource:///org/gnome/shell/ui/main.js';" \
        "import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';" \
        "const helper = $body;" \
        "export default class extends Extension { enable() { helper.enable(); } disable() { helper.disable(); } }" \
        >"$no_overview/extension.js"
    else
      printf '%s\n' "const Main = imports.ui.main;" "function init() { return $body; }" \
        >"$no_overview/extension.js"
    fi
    for extension in "${extensions[@]}"; do
      uuid=$(sed -n 's/.*"uuid"[[:space:]]*:[[:space:]]*"\([^"]*\)".*/\1/p' "$extension/metadata.json")
      [[ -n $uuid ]] || fail "no uuid in $extension/metadata.json"
      cp -r "$extension" "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
      uuids+=("'$uuid'")
    done
    # dconf-service starts on the private bus; the shell reads the list as it starts.
    gsettings set org.gnome.shell enabled-extensions "[$(IFS=,; echo "${uuids[*]}")]"
    gsettings set org.gnome.shell disable-user-extensions false
    gnome-shell --wayland --headless --virtual-monitor "${width}x${height}" \
      --wayland-display "$WAYLAND_DISPLAY" >"$compositor_log" 2>&1 &
    ;;
esac
compositor_pid=$!
started+=($compositor_pid)
wait_until 30 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "$desktop: no Wayland socket" "$compositor_log"
if [[ $desktop == kde ]]; then
  kde_version=$("$kwin" --version 2>/dev/null | sed -n 's/^kwin \([0-9]*\).*/\1/p' || true)
  export KDE_SESSION_VERSION=${kde_version:-5} KDE_FULL_SESSION=true
fi

# 4. XWayland's display is the compositor's choice (the first free one): GNOME logs it, KWin's
#    Xwayland child carries it in its arguments. GNOME's XWayland wants its authority file.
find_xwayland() {
  local display="" child
  display=$(grep -o 'Using public X11 display :[0-9]*' "$compositor_log" | grep -o ':[0-9]*' | head -1) || true
  if [[ -z $display ]]; then
    for child in $(pgrep -P "$compositor_pid" Xwayland); do
      display=$(tr '\0' '\n' <"/proc/$child/cmdline" | grep -m1 '^:[0-9]*$') && break
    done
  fi
  # KWin 6 starts Xwayland on the first X client: its display is the X socket made after this
  # session began.
  if [[ -z $display && $desktop == kde ]]; then
    for child in /tmp/.X11-unix/X*; do
      [[ -S $child && $child -nt $session_dir/session-bus ]] && display=":${child##*/X}" && break
    done
  fi
  [[ -n $display ]] && echo "$display"
}
wait_until 30 find_xwayland || fail "$desktop: XWayland did not start" "$compositor_log"
DISPLAY=$(find_xwayland)
export DISPLAY
authority=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1 || true)
[[ -n $authority ]] && export XAUTHORITY="$authority"
wait_until 30 xdpyinfo || fail "$desktop: XWayland on $DISPLAY does not answer" "$compositor_log"

# 5. The compositor's own D-Bus interface (the shell's extensions are loaded by then).
case $desktop in
  kde)
    wait_until 30 gdbus call --session -d org.kde.KWin -o /Scripting \
      -m org.freedesktop.DBus.Introspectable.Introspect || fail "KWin is not on the bus" "$compositor_log"
    ;;
  gnome)
    wait_until 60 gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
      -m org.freedesktop.DBus.Properties.Get org.gnome.Shell ShellVersion \
      || fail "GNOME Shell is not on the bus" "$compositor_log"
    ;;
esac
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
  XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME ${XAUTHORITY:+XAUTHORITY} \
  >/dev/null 2>&1 || true

# 6. Toolkits publish their accessibility trees.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
export OVRA_E2E_SESSION_DIR="$session_dir"

set +e
"$@"
status=$?
set -e
exit "$status"
