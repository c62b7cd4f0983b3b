#!/bin/bash
# Builds all three presets and runs every test: the release packages, fuzzing (short), the host tests under
# the sanitizers, the Wine tests of the win64 build, the footprint table and, last, the host unit tests.
#   FUZZ_SECONDS=N   seconds per fuzz target (default 60)
#   MOXU_QUICK=1     skip fuzzing, the sanitizer run and the bench (for a fast local check)
set -u
cd "$(dirname "$0")/.."
. tools/deps.sh
moxu_ensure_packages || exit 1

JOBS=${MOXU_JOBS:-2}
for preset in host win32 win64; do
    echo "== configure and build: $preset"
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j"$JOBS" || {
        echo "build of $preset failed" >&2
        exit 1
    }
done

status=0
failed=()
step() {
    local name=$1
    shift
    echo "== $name"
    if ! "$@"; then
        status=1
        failed+=("$name")
    fi
}

step "release packages" cmake --build --preset win32 --target package
if [ -z "${MOXU_QUICK:-}" ]; then
    step "fuzzing (${FUZZ_SECONDS:-60} s per target)" tools/fuzz.sh
    step "host tests under ASan and UBSan" tools/test-asan.sh --output-on-failure -j"$JOBS"
fi
step "Wine tests (win64)" ctest --preset win64 --no-tests=error
# After the Wine tests, so that the table has the soak's figures.
[ -n "${MOXU_QUICK:-}" ] || step "footprint bench" tools/bench.sh
step "host tests" ctest --preset host --no-tests=error -j"$JOBS"

[ $status -eq 0 ] || echo "failed: ${failed[*]}" >&2
exit $status
