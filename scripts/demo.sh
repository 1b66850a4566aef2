#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated device on loopback and opens the desktop
# program aimed at it; with "cli" as the first argument it reads the device's setup record with
# qubra-cli instead. The simulated device is stopped however the script ends. BUILD_DIR and
# extra CMake arguments are passed to the build. Nothing leaves the loopback interface.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=desktop
if [ "${1:-}" = cli ]; then
  mode=cli
  shift
fi
scripts/install-deps.sh
scripts/build.sh "$@"
build=${BUILD_DIR:-build}

device_mac=00-20-4a-00-00-01
device_ip=127.0.0.254
log=$(mktemp)
sim_pid=
stop_device() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$log"
}
trap stop_device EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# An ephemeral port, shown in the simulator's "ready udp port N" line once it answers.
"$build/apps/qubra-sim" --port 0 --broadcast 127.255.255.255 --device "$device_mac,$device_ip" >"$log" 2>&1 &
sim_pid=$!
port=
for _ in $(seq 200); do
  port=$(awk '/^ready udp port/ { print $4 }' "$log")
  [ -n "$port" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    cat "$log" >&2
    exit 1
  fi
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "the simulated device did not start:" >&2
  cat "$log" >&2
  exit 1
fi

echo "Simulated device $device_mac at $device_ip, UDP port $port"
if [ "$mode" = cli ]; then
  echo "\$ qubra-cli read --ip $device_ip --port $port --broadcast 127.255.255.255"
  "$build/apps/qubra-cli" read --ip "$device_ip" --port "$port" --broadcast 127.255.255.255
  exit 0
fi
echo "In the window click \"Vyhledat podle IP\" (Alt+I) and enter $device_ip;"
echo "\"Vyhledat podle MAC\" (Alt+M) finds it by $device_mac. Close the window to end."
echo "\$ qubra232 --port $port --broadcast 127.255.255.255"
"$build/apps/qubra232" --port "$port" --broadcast 127.255.255.255
