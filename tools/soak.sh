#!/bin/bash
# The full soak run by hand: builds the win64 program and runs tests/wine/t_soak.sh with 10000 steps.
#   tools/soak.sh [STEPS]
# Environment: SOAK_EVERY (500) steps between counts, SOAK_SEED the order, MOXU_JOBS the build's jobs,
# MOXU_BUILD another win64 build tree to use as it is (no build then).
# The Markdown report lands in <build tree>/wine/soak/report.md and is printed at the end; the
# run's other files (Wine output, driver output, exit code) lie beside it.
# It uses the build tree's Wine prefix: do not run it while ctest runs the Wine tests of that tree.
set -u
cd "$(dirname "$0")/.."
. tools/deps.sh
moxu_ensure_packages || exit 1

if [ -z "${MOXU_BUILD:-}" ]; then
    cmake --preset win64 >/dev/null && cmake --build --preset win64 -j"${MOXU_JOBS:-2}" >/dev/null || {
        echo "build of win64 failed" >&2
        exit 1
    }
    MOXU_BUILD=$PWD/build/win64
fi

export MOXU_BUILD MOXU_SRC=$PWD
export SOAK_MESSAGES=${1:-10000} SOAK_EVERY=${SOAK_EVERY:-500}
export SOAK_DIR=$MOXU_BUILD/wine/soak
bash tests/wine/t_soak.sh
