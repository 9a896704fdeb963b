#!/usr/bin/env bash
# Runs a command inside a private PipeWire stack, as on a current Linux desktop, without a sound
# card: a session bus, pipewire, wireplumber and pipewire-pulse in a temporary folder of their own,
# with a null sink "linlangok-sink" (the default output) and a virtual microphone
# "linlangok-source" (the default input), which hears whatever is played into the sink
# "linlangok-voice". ALSA's default PCM and control go through pipewire-alsa. Everything is
# stopped and removed when the command ends.
#
#   scripts/pipewire-stack.sh COMMAND [ARGUMENT...]
#
# The command runs with HOME, XDG_RUNTIME_DIR and the bus address of the stack, and
# LINLANGOK_PIPEWIRE_STACK set. The exit code is the command's; 77 (which CTest counts as
# skipped) when PipeWire is not installed; 1 when the stack does not come up.
set -euo pipefail

if (($# == 0)); then
  echo "usage: scripts/pipewire-stack.sh COMMAND [ARGUMENT...]" >&2
  exit 2
fi
for program in pipewire wireplumber pipewire-pulse dbus-daemon pactl; do
  if ! command -v "$program" >/dev/null; then
    echo "pipewire-stack: $program is not installed (scripts/bootstrap.sh installs it): skipped" >&2
    exit 77
  fi
done
if ! compgen -G "/usr/lib/*/alsa-lib/libasound_module_pcm_pipewire.so" >/dev/null; then
  echo "pipewire-stack: pipewire-alsa is not installed (scripts/bootstrap.sh installs it): skipped" >&2
  exit 77
fi

stack=$(mktemp -d "${TMPDIR:-/tmp}/linlangok-pipewire.XXXXXX")
pids=()
stop_stack() {
  local pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$stack"
}
trap stop_stack EXIT
trap 'exit 143' TERM INT

mkdir -p "$stack/run" "$stack/home" "$stack/config/pipewire/pipewire.conf.d" \
  "$stack/config/wireplumber/main.lua.d" "$stack/config/wireplumber/bluetooth.lua.d"
chmod 700 "$stack/run"
export HOME="$stack/home" XDG_CONFIG_HOME="$stack/config" XDG_STATE_HOME="$stack/state" \
  XDG_DATA_HOME="$stack/data" XDG_RUNTIME_DIR="$stack/run" PIPEWIRE_RUNTIME_DIR="$stack/run" \
  DBUS_SESSION_BUS_ADDRESS="unix:path=$stack/run/bus" LINLANGOK_PIPEWIRE_STACK="$stack"
unset PIPEWIRE_REMOTE PULSE_SERVER PULSE_RUNTIME_PATH ALSA_CONFIG_PATH

# The graph runs at the program's rate, so nothing is resampled on the way.
cat >"$stack/config/pipewire/pipewire.conf.d/50-linlangok.conf" <<'EOF'
context.properties = { default.clock.rate = 44100 }
context.objects = [
  { factory = adapter
    args = { factory.name = support.null-audio-sink node.name = "linlangok-sink" node.description = "Null sink"
             media.class = "Audio/Sink" audio.position = [ FL FR ] audio.rate = 44100 priority.session = 2000 } }
]
context.modules = [
  { name = libpipewire-module-loopback
    args = { node.description = "Virtual microphone"
             capture.props = { node.name = "linlangok-voice" media.class = "Audio/Sink"
                               audio.position = [ FL FR ] priority.session = 100 }
             playback.props = { node.name = "linlangok-source" media.class = "Audio/Source"
                                audio.position = [ FL FR ] priority.session = 2000 } } }
]
EOF
# Only the virtual devices: a real sound card, camera or Bluetooth device stays the desktop's.
cat >"$stack/config/wireplumber/main.lua.d/51-linlangok.lua" <<'EOF'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
echo 'bluez_monitor.enabled = false' >"$stack/config/wireplumber/bluetooth.lua.d/51-linlangok.lua"
cat >"$HOME/.asoundrc" <<'EOF'
pcm.!default { type pipewire playback_node "-1" capture_node "-1" }
ctl.!default { type pipewire }
EOF

# Polls `condition` every 20 ms for up to 10 s.
wait_for() {
  local what=$1
  shift
  for ((i = 0; i < 500; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.02
  done
  echo "pipewire-stack: $what did not come up; its logs:" >&2
  tail -n 20 "$stack"/*.log >&2
  exit 1
}

start() {
  local name=$1
  shift
  "$@" >"$stack/$name.log" 2>&1 &
  pids+=($!)
}

start dbus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
wait_for "dbus-daemon" test -S "$stack/run/bus"
start pipewire pipewire
wait_for "pipewire" test -S "$stack/run/pipewire-0"
start wireplumber wireplumber
# The pulse folder exists before pipewire-pulse looks for it: otherwise a pactl that polls too
# early can make it between pipewire-pulse's look and its mkdir, and pipewire-pulse gives up.
mkdir -m 700 "$stack/run/pulse"
start pipewire-pulse pipewire-pulse
wait_for "pipewire-pulse" test -S "$stack/run/pulse/native"
defaults_set() {
  local info
  info=$(pactl info) || return 1
  grep -q "Default Sink: linlangok-sink" <<<"$info" && grep -q "Default Source: linlangok-source" <<<"$info"
}
wait_for "the default devices" defaults_set

status=0
"$@" || status=$?
exit "$status"
