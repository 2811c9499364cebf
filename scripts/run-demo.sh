#!/usr/bin/env bash
# Runs the demo from a built program folder: Vistrel connected to the simulated recorder on loopback,
# and Discoro playing the sample backup file generated at build time (sample.zav), with sound.
#   usage: scripts/run-demo.sh BIN_DIR
# Everything the programs write (settings, program folder, logs) goes to a temporary folder that is
# removed at the end; the user's own settings are never read or written.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 BIN_DIR   (the folder with vistrel, dvrsim and the skin files)" >&2
  exit 2
fi
bin="$(cd "$1" && pwd)"
for program in vistrel dvrsim; do
  if [ ! -x "$bin/$program" ]; then
    echo "run-demo: $bin/$program is missing; build first" >&2
    exit 1
  fi
done
headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  headless=1
fi

scratch="$(mktemp -d)"
sim_pid=""
discoro_pid=""
bridge_pid=""
cleanup() {
  if [ -n "$bridge_pid" ] && kill -0 "$bridge_pid" 2>/dev/null; then
    kill "$bridge_pid" 2>/dev/null || true
    wait "$bridge_pid" 2>/dev/null || true
  fi
  if [ -n "$discoro_pid" ] && kill -0 "$discoro_pid" 2>/dev/null; then
    kill "$discoro_pid" 2>/dev/null || true
    wait "$discoro_pid" 2>/dev/null || true
  fi
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Settings of this run only.
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME"

# ---- Vistrel: the live viewer against a simulated 16-channel recorder ---------------------------------
vistrel_home="$scratch/vistrel"
mkdir -p "$vistrel_home"
for folder in ini skin logo PTZ; do
  if [ -d "$bin/$folder" ]; then
    cp -r "$bin/$folder" "$vistrel_home/"
  fi
done
[ -f "$vistrel_home/ini/res.ini" ] || echo "run-demo: no skin in $bin/ini; the window will be bare" >&2

# The simulator picks a free loopback port and reports it in its log once it listens.
sim_log="$scratch/dvrsim.log"
# Paced like a real recorder: about 30 pictures a second at the fastest request pacing.
"$bin/dvrsim" --host 127.0.0.1 --port 0 --channels 16 --kind full --prewarm --fps 30 --log "$sim_log" &
sim_pid=$!
port=""
for _ in $(seq 1 300); do
  # The log may not exist yet on the first passes.
  port="$( { sed -n 's/.*"event":"listening".*"port":\([0-9]*\).*/\1/p' "$sim_log" 2>/dev/null || true; } | head -n 1)"
  [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "run-demo: dvrsim ended early" >&2; exit 1; }
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "run-demo: dvrsim did not start listening" >&2
  exit 1
fi

# ---- vistrel-bridge beside the simulated recorder, on loopback -------------------------------------------
bridge_url=""
if [ -x "$bin/vistrel-bridge" ]; then
  bridge_log="$scratch/bridge.log"
  "$bin/vistrel-bridge" --host 127.0.0.1 --port "$port" --listen 127.0.0.1 --http-port 0 2>"$bridge_log" &
  bridge_pid=$!
  for _ in $(seq 1 100); do
    bridge_port="$( { sed -n 's/.*listening on 127.0.0.1 port \([0-9]*\) .*/\1/p' "$bridge_log" 2>/dev/null || true; } | head -n 1)"
    [ -n "$bridge_port" ] && break
    kill -0 "$bridge_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "${bridge_port:-}" ]; then
    bridge_url="http://127.0.0.1:$bridge_port/"
    echo "vistrel-bridge: every channel of the simulated recorder in a browser at $bridge_url"
    echo "  streams: ${bridge_url}stream/dvr/N.mjpeg, snapshots: ${bridge_url}snapshot/dvr/N.jpg (N = 1..16)"
    echo
  else
    echo "run-demo: vistrel-bridge did not start:" >&2
    cat "$bridge_log" >&2
  fi
fi

# ---- Without a display: the same road through the command-line tools ------------------------------------
if [ "$headless" -eq 1 ]; then
  out="${DEMO_OUT:-$PWD/demo-out}"
  mkdir -p "$out/live" "$out/backup"
  echo "run-demo: no display (DISPLAY or WAYLAND_DISPLAY), so the demo runs the command-line tools;"
  echo "          run it from a desktop session to see the Vistrel and Discoro windows."
  echo
  echo "== vistrelctl info: the simulated recorder at 127.0.0.1:$port"
  "$bin/vistrelctl" info --host 127.0.0.1 --port "$port" --timeout 20
  echo
  echo "== vistrelctl live: 16 panes for 5 seconds"
  "$bin/vistrelctl" live --host 127.0.0.1 --port "$port" --layout 16 --seconds 5 --out "$out/live" --timeout 30
  if [ -f "$bin/sample.zav" ] && [ -x "$bin/zavtool" ]; then
    echo
    echo "== zavtool info: the sample backup file"
    "$bin/zavtool" info "$bin/sample.zav"
    echo
    echo "== zavtool frames: played forward, unpaced (last lines)"
    "$bin/zavtool" frames "$bin/sample.zav" --out "$out/backup" | tail -n 20
  fi
  echo
  echo "Pictures: $out/live/chNN.jpg (live) and $out/backup/chNN.jpg (backup), one per channel."
  exit 0
fi

# ---- Discoro: the backup player on the sample file -----------------------------------------------------
# Its own program folder (res.ini also keeps the player's stored settings) in the temporary folder.
if [ -x "$bin/discoro" ] && [ -f "$bin/sample.zav" ] && [ -f "$bin/res.ini" ]; then
  discoro_home="$scratch/discoro"
  mkdir -p "$discoro_home/skin"
  cp "$bin/res.ini" "$discoro_home/"
  if [ -d "$bin/skin/discoro" ]; then
    cp -r "$bin/skin/discoro" "$discoro_home/skin/"
  fi
  "$bin/discoro" --home "$discoro_home" "$bin/sample.zav" &
  discoro_pid=$!
  echo "Discoro: the sample backup (16 channels, quad pictures, sound) is open and paused at its start."
  echo "  PLAY/PAUSE/step (Space, Left, Right), drag the slider to seek, SPLIT and CHANNEL switch the panes,"
  echo "  the page arrows switch pages; SOUND plays the selected sound channel in forward play."
else
  echo "run-demo: discoro, res.ini or sample.zav missing in $bin; only Vistrel runs" >&2
fi

echo "Vistrel: connected to the simulated recorder at 127.0.0.1:$port."
echo "  Mode buttons switch between 1, 4, 9 and 16 panes; a double-click zooms a pane and back;"
echo "  in one pane the rotate button steps through the channels. The exit button ends the demo."
status=0
"$bin/vistrel" --home "$vistrel_home" --host 127.0.0.1 --port "$port" --connect --no-arp-cleanup || status=$?
exit "$status"
