#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds the licence line to every script and build file that lacks it: the
# first line, or the second after a "#!" line. With --check it only lists those
# that lack it and fails. C and C++ sources get theirs from .reuse/dep5, and
# third-party test data (tests/data/real) keeps its own licences.
set -euo pipefail
cd "$(dirname "$0")/.."
line='# SPDX-License-Identifier: GPL-3.0-or-later'
check=0
[ "${1:-}" = "--check" ] && check=1
missing=0
while IFS= read -r file; do
    grep -q '^# SPDX-License-Identifier: ' "$file" && continue
    if [ $check -eq 1 ]; then
        echo "no licence line: $file"
        missing=1
    elif head -n1 "$file" | grep -q '^#!'; then
        sed -i "1a $line" "$file"
    else
        sed -i "1i $line" "$file"
    fi
done < <(git ls-files -- '*.sh' '*.py' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' '.ci/run' \
    'packaging/debian/postinst' ':!tests/data/real/*')
exit $missing
