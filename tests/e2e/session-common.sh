# The start-up both private desktop sessions share (run-headless.sh for X11, run-wayland.sh for
# Wayland), sourced by them: the session folder, the session bus and the accessibility bus.
# The sourcing script sets `harness` (its name, for messages) and `started` (PIDs to stop, newest
# last) and stops the session itself.

# wait_until SECONDS COMMAND...: retries COMMAND every 50 ms until it succeeds or time runs out.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# fail MESSAGE [LOG]: says why the session cannot start, with the end of LOG, and exits.
fail() {
  echo "$harness: $1" >&2
  [[ -n ${2:-} && -f $2 ]] && tail -30 "$2" >&2
  exit 1
}

# require_tools TOOL...: each of them, and the accessibility bus launcher (in `bus_launcher`).
require_tools() {
  local tool candidate
  for tool in "$@" dbus-daemon gdbus xdpyinfo; do
    command -v "$tool" >/dev/null || { echo "$harness: $tool is not installed (scripts/setup.sh)" >&2; exit 2; }
  done
  bus_launcher=""
  for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [[ -x $candidate ]] && bus_launcher=$candidate && break
  done
  [[ -n $bus_launcher ]] || { echo "$harness: at-spi-bus-launcher not found (at-spi2-core)" >&2; exit 2; }
}

# make_session_dir PREFIX: a private folder (`session_dir`) holding the session's configuration,
# caches, data and runtime folder: turning accessibility on is persisted by the bus launcher,
# GNOME's enabled extensions by dconf, and window managers and compositors write files there.
make_session_dir() {
  session_dir=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  chmod 700 "$session_dir"
  export XDG_CONFIG_HOME="$session_dir/config" XDG_CACHE_HOME="$session_dir/cache"
  export XDG_DATA_HOME="$session_dir/data" XDG_RUNTIME_DIR="$session_dir/runtime"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# A session bus of our own.
start_session_bus() {
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$session_dir/session-bus"
  dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
    >"$session_dir/dbus.log" 2>&1 &
  started+=($!)
  wait_until 15 gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetId || fail "the session bus did not start" "$session_dir/dbus.log"
}

# The accessibility bus (its address in `a11y_address`), switched on. The registry is started on
# first use; one call here makes the tests not pay for that.
start_accessibility_bus() {
  "$bus_launcher" --launch-immediately --a11y=1 >"$session_dir/a11y.log" 2>&1 &
  started+=($!)
  wait_until 15 gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress \
    || fail "the accessibility bus did not start" "$session_dir/a11y.log"
  a11y_address=$(gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress)
  a11y_address=${a11y_address#\(\'}
  a11y_address=${a11y_address%\',\)}
  wait_until 15 gdbus call --address "$a11y_address" -d org.a11y.atspi.Registry \
    -o /org/a11y/atspi/accessible/root -m org.freedesktop.DBus.Peer.Ping \
    || fail "the accessibility registry did not start" "$session_dir/a11y.log"
  # The launcher's --a11y=1 does not always win over the desktop setting it reads as it starts
  # (seen on a loaded machine: the switch stayed off for the whole session). Turn it on the way
  # a settings panel would, and go on once it reads back on.
  accessibility_switch Set org.a11y.Status IsEnabled '<true>' >/dev/null \
    || fail "the accessibility switch cannot be set" "$session_dir/a11y.log"
  wait_until 15 accessibility_is_on || fail "the accessibility switch stays off" "$session_dir/a11y.log"
}

# accessibility_switch Get|Set ARGS...: org.a11y.Status on the session bus.
accessibility_switch() {
  local method=$1
  shift
  gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m "org.freedesktop.DBus.Properties.$method" "$@"
}
accessibility_is_on() { accessibility_switch Get org.a11y.Status IsEnabled | grep -q true; }
