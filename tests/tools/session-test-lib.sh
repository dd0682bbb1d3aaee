# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the tests that run velkor on a session bus of their own: re-runs
# the calling script under dbus-run-session, gives it a home of its own
# without a display, check() to count results and pids[] to end at exit.
if [ -z "${VELKOR_TEST_IN_SESSION:-}" ]; then
    export VELKOR_TEST_IN_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi
fail=0
check() { # description, condition result
    if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}
home=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    rm -rf "$home"
}
trap cleanup EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
