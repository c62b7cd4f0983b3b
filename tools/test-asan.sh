#!/bin/sh
# Configures, builds and runs every host test under AddressSanitizer and UndefinedBehaviorSanitizer
# (preset host-asan, build/host-asan); the first report of either ends the test that made it.
# Extra arguments go to ctest, e.g. tools/test-asan.sh -R FailureInjection
set -eu
cd "$(dirname "$0")/.."
cmake --preset host-asan
cmake --build --preset host-asan -j 2
ctest --preset host-asan "$@"
