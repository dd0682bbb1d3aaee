#!/usr/bin/env bash
# CI only (as root, it installs and removes a system package): the package
# of scripts/package.sh installs with apt-get as the README says, the
# installed program starts on the simulated family, and it removes cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/package.sh
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq ./build/velkor_*.deb </dev/null
trap 'apt-get remove -y -qq velkor </dev/null' EXIT
home=$(mktemp -d)
HOME=$home QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" \
    /usr/bin/velkor --simulate --exit-after-start
# The README's pictures, as its commands make them.
for page in keyboard:1 mouse:5; do
    HOME=$home QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" \
        /usr/bin/velkor --simulate --page=$page --screenshot="$home/picture.png"
    test -s "$home/picture.png"
done
/usr/bin/velkorctl --simulate list | grep -q 'mouse'
HOME=$home /usr/bin/velkor --autostart on
grep -qx 'Exec=/usr/bin/velkor --background' "$home/.config/autostart/org.velkor.VELKOR01.desktop"
HOME=$home /usr/bin/velkor --autostart off
rm -rf "$home"
echo "the package installs, starts and is removed"
