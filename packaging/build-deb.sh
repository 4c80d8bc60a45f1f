#!/bin/sh
# Builds the Debian package zaviron_<version>_<arch>.deb in build/: installs the build dependencies, builds the
# program and runs CPack. Run as root (or with the dependencies already installed).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" run
for tool in dpkg-shlibdeps file; do
    command -v "$tool" >/dev/null || {
        echo "build-deb.sh: $tool is missing (apt-get install dpkg-dev file)" >&2
        exit 1
    }
done
cmake -S "$top" -B "$top/build" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$top/build" -j"$(nproc)"
cd "$top/build"
cpack -G DEB
