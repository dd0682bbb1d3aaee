#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CI only (as root, it installs and removes a system package): the package of
# scripts/package.sh passes Debian's checker (lintian --pedantic, no error and
# no warning) and the desktop's validators, installs with apt-get as the README
# says, its programs and manual pages work, and purging it leaves nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/spdx-headers.sh --check
scripts/package.sh
export DEBIAN_FRONTEND=noninteractive
deb=$(ls build-deb/velkor_*.deb)
if ! command -v lintian >/dev/null; then
    apt-get install -y -qq --no-install-recommends lintian </dev/null
fi
echo "lintian --pedantic $deb:"
lintian --pedantic --fail-on error,warning "$deb" | tee build-deb/lintian.txt
if grep -q '^[EW]: ' build-deb/lintian.txt; then
    echo "lintian reports errors or warnings" >&2
    exit 1
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
dpkg-deb -x "$deb" "$home/unpacked"
desktop-file-validate "$home/unpacked/usr/share/applications/org.velkor.VELKOR01.desktop"
appstreamcli validate --no-net --pedantic "$home/unpacked/usr/share/metainfo/org.velkor.VELKOR01.metainfo.xml"

apt-get install -y -qq "./$deb" </dev/null
installed=$(dpkg -L velkor)
trap 'apt-get purge -y -qq velkor </dev/null; rm -rf "$home"' EXIT
export HOME=$home
HOME=$home QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" \
    /usr/bin/velkor --simulate --exit-after-start
# The README's pictures, as its commands make them.
for page in keyboard:1 mouse:5; do
    QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" \
        /usr/bin/velkor --simulate --page=$page --screenshot="$home/picture.png"
    test -s "$home/picture.png"
done
/usr/bin/velkorctl --simulate list | grep -q 'mouse'
/usr/bin/velkor --autostart on
grep -qx 'Exec=/usr/bin/velkor --background' "$home/.config/autostart/org.velkor.VELKOR01.desktop"
/usr/bin/velkor --autostart off
MANPAGER=cat man velkorctl | grep -q 'velkorctl'
MANPAGER=cat man velkor | grep -q -- '--headless'
grep -qx 'SystemdService=velkor.service' /usr/share/dbus-1/services/org.velkor.VELKOR01.service

apt-get purge -y -qq velkor </dev/null
trap 'rm -rf "$home"' EXIT
left=0
while read -r path; do
    [ -d "$path" ] && continue # folders are shared (/lib is a link to usr/lib)
    if [ -f "$path" ] || [ -L "$path" ]; then
        echo "left after purge: $path" >&2
        left=1
    fi
done <<<"$installed"
[ $left -eq 0 ]
echo "the package passes lintian and the validators, installs, starts and is purged"
