#!/bin/sh
# Installs what the tests need, builds everything and runs every test. Run as root: the tests that touch the
# system's fixed paths run in a throw-away sandbox (tests/sandbox.sh), which needs root to set up.
set -eu
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh" test
cmake -S "$top" -B "$top/build" -DBUILD_TESTING=ON >/dev/null
cmake --build "$top/build" -j"$(nproc)"
cd "$top/build"
ctest --output-on-failure
