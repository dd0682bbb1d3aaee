#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The npm package openrgb-sdk, a real OpenRGB SDK client nobody here wrote,
# against velkor --headless --simulate --sdk-server on a session bus of its own:
# the controllers, a mode read back with velkorctl, Direct colours in the
# simulated keyboard's live frames, and the device-list update when the pad
# leaves. Without the npm registry the test is skipped (exit 77), never passed.
set -u
velkor="$1"
ctl="$2"
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${VELKOR_TEST_IN_SESSION:-}" ]; then
    export VELKOR_TEST_IN_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "SKIPPED: node and npm are not installed (scripts/install-deps.sh installs them)"
    exit 77
fi
home=$(mktemp -d)
velkor_pid=""
cleanup() {
    [ -n "$velkor_pid" ] && kill "$velkor_pid" 2>/dev/null && wait "$velkor_pid" 2>/dev/null
    rm -rf "$home"
}
trap cleanup EXIT
# The client lives in the test's own folder, fetched from the registry.
client="${VELKOR_SDK_CLIENT_DIR:-$home/client}"
mkdir -p "$client"
if [ ! -d "$client/node_modules/openrgb-sdk" ] &&
    ! (cd "$client" && timeout 120 npm install --no-audit --no-fund --silent openrgb-sdk@0.6.0 >"$home/npm.log" 2>&1); then
    echo "SKIPPED: the npm registry cannot be reached; openrgb-sdk is not installed:"
    tail -3 "$home/npm.log"
    exit 77
fi
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" VELKOR_SIM_LOG="$home/sim.log"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
port=$((20000 + RANDOM % 20000))
"$velkor" --headless --simulate="$here/pad-leaves.json" --sdk-server="$port" 2>"$home/velkor.err" &
velkor_pid=$!
for _ in $(seq 200); do
    [ "$("$ctl" devices 2>/dev/null | wc -l)" -eq 5 ] && "$ctl" sdk 2>/dev/null | grep -q "port $port" && break
    kill -0 "$velkor_pid" 2>/dev/null || break
    sleep 0.1
done
if ! "$ctl" sdk | grep -q "port $port"; then
    echo "FAILED: the server does not run"; cat "$home/velkor.err"; exit 1
fi
node "$here/sdk_client.js" "$client/node_modules/openrgb-sdk" "$port" "$ctl" "$VELKOR_SIM_LOG"
result=$?
[ $result -ne 0 ] && tail -20 "$home/velkor.err"
exit $result
