#!/bin/bash
# The footprint bench: MOXU's size, start-up, idle work, heap use and memory, each beside the floor
# (bench/floor.cpp: a hidden window, a tray icon and a message loop, built the same way in the same run).
# It builds what it needs, writes a Markdown table to $BENCH_DIR/report.md and prints it. Figures taken
# under Wine are noisy and only reported; the exact ones (size, host counts) are held against their goals.
# It fails only when something cannot be built or measured.
#
#   tools/bench.sh                 everything, in build/bench
#   BENCH_RUNS=9 tools/bench.sh    start-up runs per program (median taken), default 5
#   BENCH_IDLE_S=10 ...            seconds of idle watched under Wine, default 5
#   BENCH_NO_WINE=1 ...            only the figures that need no Wine
set -eu

SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=${BENCH_DIR:-$SRC/build/bench}
RUNS=${BENCH_RUNS:-5}
IDLE_S=${BENCH_IDLE_S:-5}
WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
JOBS=${BENCH_JOBS:-2}
mkdir -p "$OUT"

note() { printf 'bench: %s\n' "$*" >&2; }
die() { printf 'bench: %s\n' "$*" >&2; exit 1; }

# ---- Builds: the program and the bench's own programs, one tree per build ----
build() {
    local preset=$1 dir=$OUT/$1
    note "building $preset in $dir"
    cmake --preset "$preset" -B "$dir" -DCMAKE_PROJECT_INCLUDE="$SRC/bench/bench.cmake" >"$OUT/$preset-configure.log" 2>&1 ||
        die "configure $preset failed (see $OUT/$preset-configure.log)"
    cmake --build "$dir" -j"$JOBS" --target moxu_bench >"$OUT/$preset-build.log" 2>&1 ||
        die "build $preset failed (see $OUT/$preset-build.log)"
}
build win32
build host
[ -n "${BENCH_NO_WINE:-}" ] || build win64

ROWS=()
row() { ROWS+=("| $1 | $2 | $3 | $4 | $5 |"); }
met() { if [ "$1" = 1 ]; then echo "met"; else echo "**not met**"; fi; }
median() { sort -n | awk '{ a[NR] = $1 } END { if (NR == 0) print "n/a"; else if (NR % 2) print a[(NR + 1) / 2]; else printf "%.1f\n", (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
kib() { awk -v b="$1" 'BEGIN { printf "%.1f KiB", b / 1024 }'; }

# ---- Size of the shipped program ----
OBJDUMP=i686-w64-mingw32-objdump
EXE32=$OUT/win32/moxu.exe
FLOOR32=$OUT/win32/bench/floor.exe
size_moxu=$(stat -c %s "$EXE32")
size_floor=$(stat -c %s "$FLOOR32")
rsrc_moxu=$($OBJDUMP -h "$EXE32" | awk '$2 == ".rsrc" { print $3 }')
rsrc_moxu=$((16#${rsrc_moxu:-0}))
dlls=$($OBJDUMP -p "$EXE32" | awk '/DLL Name:/ { print $3 }' | sort -f | tr '\n' ' ')
row "moxu.exe size (win32, stripped release, resources included)" "$size_moxu B ($(kib "$size_moxu"); .rsrc $rsrc_moxu B)" \
    "$size_floor B ($(kib "$size_floor"))" "<= 32768 B" "$(met $((size_moxu <= 32768)))"

# ---- Host build: heap allocations, controller calls and timers, exact ----
ALLOC=$OUT/host/bench/alloc
"$ALLOC" 1 3 >"$OUT/alloc-mode1.txt" || die "allocation counter failed (mode 1)"
"$ALLOC" 0 1 >"$OUT/alloc-mode0.txt" || die "allocation counter failed (mode 0)"
field() { awk -v k="$2" -v n="$3" '$1 == "action" && $2 == k { print $n } $1 == k { print $n }' "$1"; }
for mode in 1 0; do
    w=$(awk '$1 == "timers" { print $3 }' "$OUT/alloc-mode$mode.txt")
    row "timer wake-ups per second, system mode $mode (host, timers set)" "$w" "-" "$((mode == 1 ? 1 : 0))" \
        "$(met $([ "$w" = "$((mode == 1 ? 1 : 0))" ] && echo 1 || echo 0))"
done
calls=$(field "$OUT/alloc-mode1.txt" poll_tick 4)
row "controller calls per idle poll tick (host, per tick over 3 ticks)" "$calls" "-" "1" \
    "$(met $([ "$calls" = "1,1,1" ] && echo 1 || echo 0))"
steady_ok=1
for a in poll_tick tooltip_refresh menu_left menu_right dialog_about dialog_change_bay dialog_unload; do
    n=$(field "$OUT/alloc-mode1.txt" "$a" 3)
    case $a in
    dialog_about) goal="1,0,0 (the captions' buffer grows once)"; [ "$n" = "1,0,0" ] || steady_ok=0 ;;
    *) goal="0,0,0"; [ "$n" = "0,0,0" ] || steady_ok=0 ;;
    esac
    row "heap allocations by the program: $a (host, rounds 1,2,3)" "$n" "-" "$goal" \
        "$(met $([ "${goal%% *}" = "$n" ] && echo 1 || echo 0))"
done
row "heap allocations by the program: start-up to the loop (host)" "$(awk '$1 == "startup" { print $2 }' "$OUT/alloc-mode1.txt")" \
    "-" "(information)" "-"

# ---- Wine: start-up, idle work and memory of the 64-bit build ----
WINE_NOTE=
if [ -z "${BENCH_NO_WINE:-}" ]; then
    W64=$OUT/win64
    winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
    export WINEPREFIX=$OUT/wine/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$OUT/wine"
    if [ ! -f "$WINEPREFIX/.bench-ready" ]; then
        note "creating the Wine prefix $WINEPREFIX (once)"
        rm -rf "$WINEPREFIX"
        xvfb-run -a "$WINE64" wineboot -i >"$OUT/wine/wineboot.log" 2>&1 || die "wineboot failed"
        "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$OUT/wine/wineboot.log" 2>&1
        "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$OUT/wine/wineboot.log" 2>&1
        "$WINESERVER" -w
        touch "$WINEPREFIX/.bench-ready"
    fi

    XVFB_PID=
    cleanup() {
        "$WINESERVER" -k 2>/dev/null || true
        [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
    }
    trap cleanup EXIT
    fifo=$OUT/wine/display
    rm -f "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$OUT/wine/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do [ -s "$fifo" ] && break; sleep 0.1; done
    [ -s "$fifo" ] || die "Xvfb did not start"
    export DISPLAY=:$(head -n1 "$fifo")
    "$WINESERVER" -p
    probe() { "$WINE64" "$W64/bench/probe.exe" "$@"; }
    # Wine's own start-up work (explorer, the tray) once, outside the timed runs.
    probe start MOXUFLOOR "$(winpath "$W64/bench/floor.exe")" >/dev/null && probe close MOXUFLOOR >/dev/null

    STATE=$OUT/wine/state.txt LOG=$OUT/wine/moxu2.log
    export MOXU2_STATE=$(winpath "$STATE") MOXU2_LOG=$(winpath "$LOG")
    printf 'device=0\nstatus=0\nmode=1\n' >"$STATE"

    # Start-up: from just before CreateProcess in the probe to the tray icon seen in the shell.
    : >"$OUT/wine/startup.txt"
    for i in $(seq "$RUNS"); do
        for p in MOXU:moxu.exe MOXUFLOOR:bench/floor.exe; do
            title=${p%%:*}
            # Into a file, not a pipe: the started program inherits the probe's output and keeps it open.
            probe start "$title" "$(winpath "$W64/${p#*:}")" >"$OUT/wine/probe.out" || die "probe start $title failed"
            echo "$title $(cat "$OUT/wine/probe.out")" >>"$OUT/wine/startup.txt"
            probe close "$title" >/dev/null || die "probe close $title failed"
        done
    done
    startup_of() { awk -v t="$1" -v k="$2" '$1 == t { for (i = 2; i <= NF; ++i) { split($i, kv, "="); if (kv[1] == k) print kv[2] } }' "$OUT/wine/startup.txt" | median; }
    row "start-up under Wine to the tray icon added, ms (win64, median of $RUNS)" "$(startup_of MOXU tray_ms)" \
        "$(startup_of MOXUFLOOR tray_ms)" "(information)" "-"
    row "start-up under Wine to the window found, ms (win64, median of $RUNS)" "$(startup_of MOXU window_ms)" \
        "$(startup_of MOXUFLOOR window_ms)" "(information)" "-"

    # The Unix process that runs a Windows program: its command line names the program's path.
    unix_pid() {
        local p
        for p in /proc/[0-9]*; do
            if tr '\0' '\n' 2>/dev/null <"$p/cmdline" | grep -qxF "$1"; then
                echo "${p#/proc/}"
                return 0
            fi
        done
        return 1
    }
    # Voluntary context switches of all the process's threads: each is a sleep after a wake-up.
    switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }'; }
    log_lines() { [ -f "$LOG" ] && wc -l <"$LOG" || echo 0; }
    status_kb() { awk -v k="$2:" '$1 == k { print $2 }' /proc/"$1"/status; }

    # Idle watch: a second to settle, then IDLE_S seconds of controller calls and wake-ups; then memory.
    idle_watch() {
        local title=$1 exe=$2 tag=$3 wpath pid l0 l1 s0 s1 mem
        wpath=$(winpath "$exe")
        probe start "$title" "$wpath" >/dev/null || die "probe start $title failed"
        pid=$(unix_pid "$wpath") || die "no Unix process for $wpath"
        sleep 1
        l0=$(log_lines) s0=$(switches "$pid")
        sleep "$IDLE_S"
        l1=$(log_lines) s1=$(switches "$pid")
        mem=$(probe mem "$title") || die "probe mem $title failed"
        echo "$tag calls_per_s=$(awk -v a="$l0" -v b="$l1" -v s="$IDLE_S" 'BEGIN { printf "%.2f", (b - a) / s }')" \
            "wakeups_per_s=$(awk -v a="$s0" -v b="$s1" -v s="$IDLE_S" 'BEGIN { printf "%.2f", (b - a) / s }')" \
            "$mem rss_kb=$(status_kb "$pid" VmRSS) anon_kb=$(status_kb "$pid" RssAnon)" >>"$OUT/wine/idle.txt"
        probe close "$title" >/dev/null || die "probe close $title failed"
    }
    : >"$OUT/wine/idle.txt"
    idle_watch MOXUFLOOR "$W64/bench/floor.exe" floor
    printf 'device=0\nstatus=0\nmode=1\n' >"$STATE"
    idle_watch MOXU "$W64/moxu.exe" mode1
    # The stand-in's file reading and logging are server calls under Wine, each a context switch of
    # its own: the wake-ups of system mode 1 are counted once more with the stand-in silent (its
    # defaults are system mode 1, an empty bay).
    (unset MOXU2_STATE MOXU2_LOG; idle_watch MOXU "$W64/moxu.exe" mode1quiet)
    printf 'device=0\nstatus=0\nmode=0\n' >"$STATE"
    idle_watch MOXU "$W64/moxu.exe" mode0
    idle_of() { awk -v t="$1" -v k="$2" '$1 == t { for (i = 2; i <= NF; ++i) { split($i, kv, "="); if (kv[1] == k) print kv[2] } }' "$OUT/wine/idle.txt"; }
    row "controller calls per second, idle, system mode 1 (Wine, stand-in log, ${IDLE_S} s)" \
        "$(idle_of mode1 calls_per_s)" "-" "1 (1 call a tick, 1 tick a second)" "-"
    row "controller calls per second, idle, system mode 0 (Wine, stand-in log, ${IDLE_S} s)" \
        "$(idle_of mode0 calls_per_s)" "-" "0" "-"
    row "voluntary context switches per second, idle, system mode 1, stand-in silent (Wine, ${IDLE_S} s)" \
        "$(idle_of mode1quiet wakeups_per_s)" "$(idle_of floor wakeups_per_s)" "1 wake-up (Wine adds switches per wake-up)" "-"
    row "voluntary context switches per second, idle, system mode 1, stand-in logging (Wine, ${IDLE_S} s)" \
        "$(idle_of mode1 wakeups_per_s)" "$(idle_of floor wakeups_per_s)" "(information)" "-"
    row "voluntary context switches per second, idle, system mode 0 (Wine, ${IDLE_S} s)" \
        "$(idle_of mode0 wakeups_per_s)" "$(idle_of floor wakeups_per_s)" "0" "-"
    mb() { awk -v b="$1" 'BEGIN { printf "%.2f MiB", b / 1048576 }'; }
    kb2mb() { awk -v k="$1" 'BEGIN { printf "%.2f MiB", k / 1024 }'; }
    row "working set after start-up (Wine, GetProcessMemoryInfo)" "$(mb "$(idle_of mode1 working_set)")" \
        "$(mb "$(idle_of floor working_set)")" "(information)" "-"
    row "private memory after start-up (Wine, RssAnon of the process; private bytes read 0 under Wine)" \
        "$(kb2mb "$(idle_of mode1 anon_kb)")" "$(kb2mb "$(idle_of floor anon_kb)")" "(information)" "-"
    # The soak (tests/wine/t_soak.sh in the Wine tests, tools/soak.sh by hand) leaves its report in the
    # win64 tree; the newest one gives the memory at its start and end.
    soak=$(ls -t "$SRC"/build/win64/wine/soak/report.md "$SRC"/build/win64/wine/t_soak/report.md 2>/dev/null | head -n1 || true)
    if [ -n "$soak" ]; then
        soak_kib() { awk -F'|' -v row="$1" -v col="$2" '$2 ~ "^ *" row " *$" { gsub(/ /, "", $col); print $col; exit }' "$soak"; }
        steps=$(awk -F'|' '$2 ~ /^ *end *$/ { gsub(/ /, "", $3); print $3; exit }' "$soak")
        row "private memory before / after a soak of ${steps:-?} steps (Wine, GetProcessMemoryInfo)" \
            "$(kb2mb "$(soak_kib start 5)") / $(kb2mb "$(soak_kib end 5)")" "-" "flat" "-"
        row "working set before / after the soak (Wine)" \
            "$(kb2mb "$(soak_kib start 6)") / $(kb2mb "$(soak_kib end 6)")" "-" "flat" "-"
        WINE_NOTE="Soak figures from ${soak#"$SRC"/}."
    else
        WINE_NOTE="No soak report in build/win64 yet (ctest --preset win64 -R soak, or tools/soak.sh): no figure after a soak."
    fi
    "$WINESERVER" -k 2>/dev/null || true
fi

# ---- The report ----
{
    echo "# MOXU footprint, $(date -u '+%Y-%m-%d %H:%M UTC'), $(git -C "$SRC" rev-parse --short HEAD 2>/dev/null || echo 'no git')"
    echo
    echo "| Figure | MOXU | Floor | Goal | Verdict |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${ROWS[@]}"
    echo
    echo "Imports of moxu.exe: $dlls"
    echo
    echo "Host figures are exact (the program against our Win32 stand-in; allocations counted only in the"
    echo "program's own code, see bench/alloc.cpp). Wine figures come from the 64-bit build, are noisy and"
    echo "carry no verdict; Wine's own runtime makes most of the memory, so read MOXU against the floor."
    [ -z "$WINE_NOTE" ] || { echo; echo "$WINE_NOTE"; }
} >"$OUT/report.md"
cat "$OUT/report.md"
