#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# cpack -G DEB of this build: the package holds what the desktop needs, names
# the libraries it links as dependencies, and its post-install step never
# fails where udev is missing or broken (a container, a chroot).
set -u
cpack=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail=0
check() { # description, status
    if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}

(cd "$build" && "$cpack" -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1
status=$?
check "cpack -G DEB" $status
[ $status -eq 0 ] || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/velkor_*.deb)

contents=$(dpkg-deb --contents "$deb")
for file in ./usr/bin/velkor ./usr/bin/velkorctl ./lib/udev/rules.d/70-velkor.rules \
    ./usr/share/applications/org.velkor.VELKOR01.desktop \
    ./usr/share/icons/hicolor/scalable/apps/org.velkor.VELKOR01.svg \
    ./usr/share/icons/hicolor/48x48/apps/org.velkor.VELKOR01.png \
    ./usr/share/metainfo/org.velkor.VELKOR01.metainfo.xml \
    ./usr/share/dbus-1/services/org.velkor.VELKOR01.service ./usr/lib/systemd/user/velkor.service \
    ./usr/share/velkor/skin/res.xml ./usr/share/velkor/DefaultData/Language.config \
    ./usr/share/doc/velkor/copyright ./usr/share/doc/velkor/changelog.gz ./usr/share/man/man1/velkorctl.1.gz; do
    echo "$contents" | grep -q " $file\$"
    check "the package holds $file" $?
done
echo "$contents" | grep -q " \./usr/local/"
[ $? -ne 0 ]
check "nothing under /usr/local" $?

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libudev1 libsystemd0 libjsoncpp25 libcurl4; do
    echo "$depends" | grep -q "$library"
    check "depends on $library (computed from the links)" $?
done

dpkg-deb -f "$deb" Maintainer | grep -Eq '^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$'
check "the maintainer has a name and an address" $?

dpkg-deb -e "$deb" "$scratch/control"
! grep -Eq '^[[:space:]]*(ldconfig|activate[a-z-]* ldconfig)' "$scratch"/control/post* "$scratch"/control/triggers 2>/dev/null
check "no maintainer script or trigger calls ldconfig (the plugins are private)" $?
[ -x "$scratch/control/postinst" ]
check "the post-install step is in the package" $?
PATH=/nonexistent /bin/sh "$scratch/control/postinst" configure
check "post-install without udevadm succeeds" $?
mkdir "$scratch/bin"
printf '#!/bin/sh\necho "udevadm: no udev here" >&2\nexit 1\n' >"$scratch/bin/udevadm"
chmod +x "$scratch/bin/udevadm"
PATH="$scratch/bin:/usr/bin:/bin" /bin/sh "$scratch/control/postinst" configure 2>"$scratch/postinst.err"
check "post-install with a failing udevadm succeeds" $?
[ ! -s "$scratch/postinst.err" ]
check "and says nothing on standard error" $?
exit $fail
