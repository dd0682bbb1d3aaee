#!/usr/bin/env bash
# Builds the Debian package of the program: build/velkor_<version>_<arch>.deb.
# Install it with: sudo apt-get install ./build/velkor_*.deb
# Shares the build folder with scripts/test.sh, so after the tests it only packs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
(cd build && cpack -G DEB)
ls build/velkor_*.deb
