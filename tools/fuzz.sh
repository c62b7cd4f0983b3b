#!/bin/sh
# Builds the libFuzzer targets (preset fuzz, build/fuzz) and runs each one for FUZZ_SECONDS seconds
# (default 60) from its corpus in tests/fuzz/corpus/<target>, printing the executions of each.
# New inputs go to build/fuzz/work/<target>, never into the repository. A crash, a hang (FUZZ_TIMEOUT
# seconds for one input, default 10) or a broken rule leaves build/fuzz/work/<target>-crash-* (or
# -timeout-*) and makes the script end with status 1; keep such an input as a regression test by
# copying it into tests/fuzz/corpus/<target>/ once the fault is fixed: the corpus replays in ctest.
# FUZZ_TARGETS picks targets (default: hex scan devchange messages).
set -u
cd "$(dirname "$0")/.."
SECS=${FUZZ_SECONDS:-60}
LIMIT=${FUZZ_TIMEOUT:-10}
TARGETS=${FUZZ_TARGETS:-"hex scan devchange messages"}

cmake --preset fuzz >/dev/null || exit 2
cmake --build --preset fuzz -j 2 >/dev/null || { cmake --build --preset fuzz -j 1; exit 2; }

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
WORK=build/fuzz/work
status=0
printf '%-10s %12s %8s %8s %8s  %s\n' target executions exec/s 'new' corpus result
for t in $TARGETS; do
    mkdir -p "$WORK/$t"
    log="$WORK/$t.log"
    build/fuzz/fuzz_$t -max_total_time="$SECS" -timeout="$LIMIT" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$WORK/$t-" "$WORK/$t" "tests/fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -n 1)
    corpus=$(ls "$WORK/$t" | wc -l)
    if [ $rc -eq 0 ]; then
        result="no findings"
    else
        status=1
        artifact=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
        result="FINDING (exit $rc): ${artifact:-see $log}"
    fi
    printf '%-10s %12s %8s %8s %8s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "${added:-?}" "$corpus" "$result"
    if [ $rc -ne 0 ]; then
        grep -E 'ERROR|broken|runtime error|SUMMARY|^ +#[0-9]+ ' "$log" | head -n 25 | sed 's/^/    /'
    fi
done
exit $status
