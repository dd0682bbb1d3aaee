#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of the program: build-deb/velkor_<version>_<arch>.deb.
# Install it with: sudo apt-get install ./build-deb/velkor_*.deb
# A build folder of its own, without tests, with Debian's build flags (every
# hardening feature on). A distributor names itself as the package's maintainer:
#   VELKOR_MAINTAINER="Name <address>" scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_DEB_BUILDFLAGS=ON -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF)
if [ -n "${VELKOR_MAINTAINER:-}" ]; then
    options+=("-DVELKOR_MAINTAINER=$VELKOR_MAINTAINER")
fi
cmake -S . -B build-deb -G Ninja "${options[@]}"
cmake --build build-deb
rm -f build-deb/velkor_*.deb
(cd build-deb && cpack -G DEB)
ls build-deb/velkor_*.deb
