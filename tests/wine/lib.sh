# Shared helpers of the Wine tests: prefix, X server, the program in the background, the driver, log checks.
#
# A test script sources this file, calls `wine_setup LANG` once, and then works in steps:
#   state device=5 mode=1          the stand-in controller's state for the next calls
#   moxu_start / moxu_stop         the program in the background; its exit code lands in MOXU_EXIT
#   drv COMMAND ARGS...            our driver program (tests/moxudrv.exe) in the same prefix
#   log_mark; ...; expect_log NAME <<'EOF' ... EOF
#                                  the controller calls made since the mark, against a table
#   shot NAME                      a screenshot into the test's folder
#   finish                         the script's exit status: 0 only when every check passed
# Everything lives in $MOXU_BUILD/wine/<test name>/; the prefixes are made once per build tree
# in $MOXU_BUILD/wine/prefix-en and prefix-ja. The trap always stops the program, the wineserver
# and the X server, also when a step fails.

set -u

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
MOXU_SRC=${MOXU_SRC:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
MOXU_BUILD=${MOXU_BUILD:-$MOXU_SRC/build/win64}
T_NAME=$(basename "$0" .sh)
T_DIR=$MOXU_BUILD/wine/$T_NAME
T_FAILURES=0
MOXU_JOB=
MOXU_EXIT=
XVFB_PID=
DRV_OUT=
T_MARK=0

# Wine keeps quiet except for exceptions it swallowed inside a window or dialog procedure.
export WINEDEBUG=-all,err+seh
# No Mono or Gecko installers: the program needs neither, and the machine may be offline.
export WINEDLLOVERRIDES="mscoree,mshtml="

t_note() { printf '%s\n' "$*"; }
# Failures are counted in a file once the test's folder exists, so that a check run in a
# subshell (the right side of a pipe, say) counts as well.
t_fail() {
    printf 'FAIL: %s\n' "$*"
    if [ -d "$T_DIR" ]; then
        printf '%s\n' "$*" >>"$T_DIR/failures"
    else
        T_FAILURES=$((T_FAILURES + 1))
    fi
}
t_failures() {
    local n=0
    [ -f "$T_DIR/failures" ] && n=$(wc -l <"$T_DIR/failures")
    echo $((T_FAILURES + n))
}
# A failure after which the script cannot go on.
t_abort() {
    t_fail "$@"
    finish
}

need_tools() {
    local missing=
    [ -x "$WINE64" ] || missing="$missing $WINE64 (package wine64)"
    [ -x "$WINESERVER" ] || missing="$missing $WINESERVER (package wine64)"
    command -v Xvfb >/dev/null || missing="$missing Xvfb (package xvfb)"
    command -v import >/dev/null || missing="$missing import (package imagemagick)"
    command -v flock >/dev/null || missing="$missing flock (package util-linux)"
    [ -f "$MOXU_BUILD/moxu.exe" ] || missing="$missing $MOXU_BUILD/moxu.exe (build the win64 preset)"
    [ -f "$MOXU_BUILD/moxu2.dll" ] || missing="$missing $MOXU_BUILD/moxu2.dll"
    [ -f "$MOXU_BUILD/tests/moxudrv.exe" ] || missing="$missing $MOXU_BUILD/tests/moxudrv.exe"
    # Missing tools are a failure, never a silent pass: CI installs them.
    [ -z "$missing" ] || { printf 'FAIL: cannot run, missing:%s\n' "$missing"; exit 1; }
}

# The prefix of one language, made once per build tree: wineboot, then our settings.
make_prefix() {
    local lang=$1 dir=$MOXU_BUILD/wine/prefix-$lang
    mkdir -p "$MOXU_BUILD/wine"
    (
        flock 9
        [ -f "$dir/.moxu-ready" ] && exit 0
        t_note "creating the Wine prefix $dir (once per build tree)"
        rm -rf "$dir" "$dir.new"
        export WINEPREFIX=$dir.new
        if [ "$lang" = ja ]; then export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; fi
        "$WINE64" wineboot -i >"$MOXU_BUILD/wine/wineboot-$lang.log" 2>&1 || exit 1
        reg() { "$WINE64" reg add "$@" /f >>"$MOXU_BUILD/wine/wineboot-$lang.log" 2>&1 || exit 1; }
        # No window manager on Xvfb: Wine draws the frames and captions itself.
        reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
        reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
        if [ "$lang" = ja ]; then
            for face in 'MS UI Gothic' 'MS Gothic' 'MS PGothic'; do
                reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAGothic
            done
        fi
        # The registry reaches its files only when the server ends.
        "$WINESERVER" -k 2>/dev/null
        "$WINESERVER" -w 2>/dev/null
        touch "$WINEPREFIX/.moxu-ready"
        mv "$WINEPREFIX" "$dir"
    ) 9>"$MOXU_BUILD/wine/prefix-$lang.lock" || t_abort "cannot create the Wine prefix for $lang (see $MOXU_BUILD/wine/wineboot-$lang.log)"
}

# The caption buttons are glyphs of the Marlett font. This Wine does not load the fonts of its data
# folder (package fonts-wine) into a prefix made without the 32-bit half, so the close box would
# show the letter "r"; a copy in the prefix's Fonts folder is found.
WINE_FONTS=${WINE_FONTS:-/usr/share/wine/fonts}
prefix_fonts() {
    local f=marlett.ttf dst=$WINEPREFIX/drive_c/windows/Fonts
    [ -f "$dst/$f" ] && return
    if [ -f "$WINE_FONTS/$f" ]; then
        mkdir -p "$dst" && cp "$WINE_FONTS/$f" "$dst/$f"
    else
        t_note "note: $WINE_FONTS/$f is missing (package fonts-wine): caption buttons show letters"
    fi
}

start_x() {
    if [ -n "${MOXU_WINE_DISPLAY:-}" ]; then
        export DISPLAY=$MOXU_WINE_DISPLAY
        return
    fi
    # Xvfb picks a free display number itself and writes it to the descriptor.
    local fifo=$T_DIR/.displayfd
    rm -f "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$T_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local n
    for n in $(seq 100); do
        [ -s "$fifo" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$fifo" ] || t_abort "Xvfb did not start (see $T_DIR/xvfb.log)"
    export DISPLAY=:$(head -n1 "$fifo")
}

cleanup() {
    if [ -n "$MOXU_JOB" ] && kill -0 "$MOXU_JOB" 2>/dev/null; then
        t_note "the program was still running: stopping it"
    fi
    [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null
    [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -w 2>/dev/null
    [ -n "$MOXU_JOB" ] && wait "$MOXU_JOB" 2>/dev/null
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    MOXU_JOB=
    XVFB_PID=
}

# Sets up everything a test needs: tools, prefix, X server, a persistent wineserver.
wine_setup() {
    local lang=${1:-en}
    need_tools
    rm -rf "$T_DIR"
    mkdir -p "$T_DIR"
    make_prefix "$lang"
    export WINEPREFIX=$MOXU_BUILD/wine/prefix-$lang
    prefix_fonts
    if [ "$lang" = ja ]; then export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; else export LANG=C.UTF-8 LC_ALL=C.UTF-8; fi
    trap cleanup EXIT
    trap 'exit 1' INT TERM
    # A server left over from an interrupted run would hold stale volatile keys.
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    start_x
    # Keep the server (and with it HKEY_DYN_DATA's volatile keys) alive between our programs.
    "$WINESERVER" -p || t_abort "cannot start the wineserver"
    export MOXU2_STATE=$T_DIR/state MOXU2_LOG=$T_DIR/controller.log
    : >"$MOXU2_STATE"
    : >"$MOXU2_LOG"
    t_note "prefix $WINEPREFIX, display $DISPLAY, files in $T_DIR"
}

# The controller's state: one name=value per argument; the stand-in re-reads it on every call.
state() {
    printf '%s\n' "$@" >"$MOXU2_STATE.new"
    mv "$MOXU2_STATE.new" "$MOXU2_STATE"
}

# Runs the driver; its output is in DRV_OUT and on stdout. Returns the driver's exit status.
drv() {
    local rc
    DRV_OUT=$("$WINE64" "$MOXU_BUILD/tests/moxudrv.exe" "$@" 2>>"$T_DIR/wine.out")
    rc=$?
    DRV_OUT=${DRV_OUT//$'\r'/}
    [ -n "$DRV_OUT" ] && printf '%s\n' "$DRV_OUT" >>"$T_DIR/driver.out"
    return $rc
}

moxu_running() { [ -n "$MOXU_JOB" ] && kill -0 "$MOXU_JOB" 2>/dev/null; }

# Starts the program beside the stand-in moxu2.dll and waits for its window.
# wine64 runs in the foreground of a background subshell: its exit status is the program's exit code.
# With MOXU_WINEDEBUG set, the program runs with those Wine channels and its output goes to moxu.trace.
moxu_start() {
    rm -f "$T_DIR/exit"
    (
        if [ -n "${MOXU_WINEDEBUG:-}" ]; then
            WINEDEBUG=$MOXU_WINEDEBUG "$WINE64" "$MOXU_BUILD/moxu.exe" >>"$T_DIR/moxu.trace" 2>&1
        else
            "$WINE64" "$MOXU_BUILD/moxu.exe" >>"$T_DIR/wine.out" 2>&1
        fi
        echo $? >"$T_DIR/exit"
    ) &
    MOXU_JOB=$!
    drv waitwin 30000 || t_abort "the program's window did not appear"
    # The window exists before start-up is over, and the thread answers sent messages already while
    # it waits inside Shell_NotifyIconA; start-up ends with the system mode read, then the timer.
    local n
    for n in $(seq 300); do
        tr -d '\r' <"$MOXU2_LOG" | grep -q '^ThkGetCurSystemMode()' && break
        moxu_running || break
        sleep 0.1
    done
    tr -d '\r' <"$MOXU2_LOG" | grep -q '^ThkGetCurSystemMode()' || t_abort "start-up did not read the system mode"
    drv send 0 0 0 >/dev/null || t_abort "the program does not answer messages"
}

# Runs a second program instance in the foreground; its exit code goes to MOXU_EXIT.
moxu_run_fg() {
    timeout 60 "$WINE64" "$MOXU_BUILD/moxu.exe" >>"$T_DIR/wine.out" 2>&1
    MOXU_EXIT=$?
}

# Waits (up to $1 seconds) for the program to end; its exit code goes to MOXU_EXIT.
moxu_wait_exit() {
    local secs=${1:-15} n
    MOXU_EXIT=
    for n in $(seq $((secs * 10))); do
        moxu_running || break
        sleep 0.1
    done
    if moxu_running; then
        t_fail "the program did not end within $secs s"
        return 1
    fi
    wait "$MOXU_JOB" 2>/dev/null
    MOXU_JOB=
    MOXU_EXIT=$(cat "$T_DIR/exit" 2>/dev/null)
    return 0
}

# Asks the program to close (WM_CLOSE, posted) and waits for it to end.
moxu_stop() {
    drv post 0x10 0 0 || t_fail "cannot post WM_CLOSE"
    moxu_wait_exit 15
}

expect_exit() {
    if [ "$MOXU_EXIT" = "$1" ]; then
        t_note "ok: $2: exit code $MOXU_EXIT"
    else
        t_fail "$2: exit code '$MOXU_EXIT', expected $1"
    fi
}

log_lines() { tr -d '\r' <"$MOXU2_LOG"; }
log_mark() { T_MARK=$(log_lines | wc -l); }
log_since() { log_lines | tail -n +$((T_MARK + 1)); }

# Waits up to $2 seconds for a line matching the extended regex $1 after the mark.
wait_log() {
    local n
    for n in $(seq $((${2:-10} * 10))); do
        log_since | grep -Eq "$1" && return 0
        sleep 0.1
    done
    t_fail "no controller call matching /$1/ within ${2:-10} s"
    return 1
}

# An idle poll tick of system mode 1 (status 0, upper bits or not): an optional row in every table.
IDLE_TICK='^ThkGetSwapBayStatus[(][)] = 0x(0|[0-9A-F]{4}0000)$'

# Compares the file $2 with the expected table on stdin; prints both side by side on a mismatch.
# A line that matches LOG_IGNORE is optional: it may stand anywhere it does not take the place of
# the next expected line (the poll ticks of system mode 1 come when they come).
expect_lines() {
    local name=$1 act=$2 exp=$T_DIR/expected.txt
    grep -v '^[[:space:]]*$' >"$exp"
    if awk -v ign="${LOG_IGNORE:-}" '
            BEGIN { n = 0; i = 0 }
            FILENAME == ARGV[1] { want[n++] = $0; next }
            i < n && $0 == want[i] { i++; next }
            ign != "" && $0 ~ ign { next }
            { bad = 1; exit }
            END { exit (bad || i < n) }' "$exp" "$act"; then
        t_note "ok: $name"
    else
        t_fail "$name: calls differ (expected | actual${LOG_IGNORE:+; lines matching /$LOG_IGNORE/ are optional})"
        diff -y -W 150 "$exp" "$act"
        echo
    fi
}

# The controller calls since the mark against the table on stdin.
expect_log() {
    log_since >"$T_DIR/actual.txt"
    expect_lines "$1" "$T_DIR/actual.txt"
}

# A scenario runs against a fresh program (the flags start over): scenario NAME STATE...
SCEN_STATE=()
scenario() {
    moxu_running && scenario_end
    SCEN=$1
    shift
    SCEN_STATE=("$@")
    state "${SCEN_STATE[@]}"
    : >"$MOXU2_LOG"
    t_note "-- $SCEN (${SCEN_STATE[*]:-defaults})"
    moxu_start
}

scenario_end() {
    moxu_stop
    expect_exit 0 "$SCEN: WM_CLOSE"
}

# One step: driver commands, then the controller calls they caused (expected table on stdin).
# Sent messages are handled before the driver returns, so the calls are in the log by then.
step() {
    local name=$1
    shift
    log_mark
    drv "$@" >/dev/null || t_fail "$SCEN: $name: the driver failed"
    expect_log "$SCEN: $name"
}

# A poll tick that finds a swap request: status=1 until the tick has made its last expected call
# (the last line of the table on stdin), then the scenario's state again.
swap_tick() {
    local name=$1 want last n
    want=$(cat)
    last=$(printf '%s\n' "$want" | grep -v '^[[:space:]]*$' | tail -n1)
    log_mark
    state "${SCEN_STATE[@]}" status=1
    for n in $(seq 50); do
        log_since | grep -qxF "$last" && break
        sleep 0.1
    done
    state "${SCEN_STATE[@]}"
    # Not a pipe: a function at the end of one runs in a subshell and its failures would not count.
    expect_log "$SCEN: $name" <<<"$want"
}

shot() {
    import -window root "$T_DIR/$1.png" 2>>"$T_DIR/wine.out" && t_note "screenshot: $T_DIR/$1.png"
}

# Wine ignores an exception inside a window procedure and goes on; the real system would not.
check_seh() {
    if cat "$T_DIR/wine.out" "$T_DIR/moxu.trace" 2>/dev/null | grep -q 'err:seh'; then
        t_fail "Wine reported exceptions:"
        cat "$T_DIR/wine.out" "$T_DIR/moxu.trace" 2>/dev/null | grep 'err:seh' | head -n 20
    fi
}

# ---- Scripts that run in both languages, one folder each: $MOXU_BUILD/wine/<test>/<lang>/.
# wine_lang LANG sets up that language (WIN_CP: its ANSI code page); wine_lang_end stops it.
wine_lang() {
    T_LANG=$1
    T_DIR=$MOXU_BUILD/wine/$T_NAME/$T_LANG
    case $T_LANG in
    ja) WIN_CP=932 ;;
    *) WIN_CP=1252 ;;
    esac
    wine_setup "$T_LANG"
}

wine_lang_end() {
    moxu_running && scenario_end
    check_seh
    cleanup
}

# UTF-8 on stdin to the bytes of code page $1 as the driver prints them: bytes below 0x20 (the line
# feed apart) and from 0x7F on as \xNN; ASCII, backslashes included, stays as written, so a table
# writes a line feed inside a text as \n and a trailing blank as \x20.
cp_escape() {
    iconv -f UTF-8 -t "CP$1" | od -An -v -tu1 | awk '
        { for (i = 1; i <= NF; i++) {
            c = $i + 0
            if (c == 10) printf "\n"
            else if (c < 32 || c > 126) printf "\\x%02X", c
            else printf "%c", c } }'
}

# The open dialog against its table from dialog_table (given the same arguments after the name;
# UTF-8 converted to the code page of the language), and its position against the centring rule:
# x = (desktop width - width) / 2, likewise y, truncated toward zero.
expect_dialog() {
    local name=$1 l t r b dl dt dr db want
    shift
    want=$(dialog_table "$@" | cp_escape "$WIN_CP")
    drv dlginfo || { t_fail "$name: no dialog"; return 1; }
    printf '%s\n' "$DRV_OUT" | grep -Ev '^(rect|desktop)=' >"$T_DIR/actual-dialog.txt"
    LOG_IGNORE= expect_lines "$name: texts" "$T_DIR/actual-dialog.txt" <<<"$want"
    [ "$(wc -l <"$T_DIR/actual-dialog.txt")" -eq "$(grep -vc '^[[:space:]]*$' <<<"$want")" ] ||
        t_fail "$name: the dialog has more controls than the table"
    IFS=, read -r l t r b <<<"$(sed -n 's/^rect=//p' <<<"$DRV_OUT")"
    IFS=, read -r dl dt dr db <<<"$(sed -n 's/^desktop=//p' <<<"$DRV_OUT")"
    local x=$((((dr - dl) - (r - l)) / 2)) y=$((((db - dt) - (b - t)) / 2))
    if [ "$l" = "$x" ] && [ "$t" = "$y" ]; then
        t_note "ok: $name: centred at $l,$t (desktop $dl,$dt,$dr,$db, dialog $((r - l)) x $((b - t)))"
    else
        t_fail "$name: dialog at $l,$t, the centring rule gives $x,$y (desktop $dl,$dt,$dr,$db, rect $l,$t,$r,$b)"
    fi
}

# The texts the user sees, in UTF-8, by string number, in the language of T_LANG ("\n" a line feed).
ui_text() {
    local notice='Copyright (C) 1998 Zendrik Corp.'
    case $T_LANG.$1 in
    en.2) echo "Zendrik \nVersion 1.02\n\n$notice" ;;
    en.4) echo 'Do you really want to quit\n Zendrik?' ;;
    en.5) echo 'Cancel' ;;
    en.6) echo 'Please close any application using Swap Bay device. Press OK to enter sleep mode.\x20' ;;
    en.7) echo 'You can not change this Swap Bay.' ;;
    en.12) echo 'Change Swap Bay' ;;
    en.13) echo 'About Zendrik' ;;
    en.14) echo 'Unload Zendrik' ;;
    ja.2) echo "Zendrikﾕｰﾃｨﾘﾃｨ\nVersion 1.02\n\n$notice" ;;
    ja.4) echo 'Zendrikを終了しますか?' ;;
    ja.5) echo 'ｷｬﾝｾﾙ' ;;
    ja.6) echo 'Swap Bayﾃﾞﾊﾞｲｽを使用しているｱﾌﾟﾘｹｰｼｮﾝを閉じてください。OKを押してｽﾘｰﾌﾟﾓｰﾄﾞに切り替えてください。' ;;
    ja.7) echo 'このSwap Bayは変更できません。' ;;
    ja.12) echo 'Swap Bayの変更' ;;
    ja.13) echo 'Zendrikについて' ;;
    ja.14) echo 'Zendrikの削除' ;;
    *.3) echo 'OK' ;;
    esac
}

# What expect_dialog wants of each dialog, in template order; the change-bay dialog with text 6 or 7.
dialog_table() {
    case $1 in
    change)
        printf '%s\n' "caption=$(ui_text 12)" "focus=1" "item 1 Button $(ui_text 3)" "item 1001 Static icon=1" \
            "item 1002 Static $(ui_text "$2")" "item 2 Button $(ui_text 5)" ;;
    unload)
        printf '%s\n' "caption=$(ui_text 14)" "focus=1" "item 1 Button $(ui_text 3)" \
            "item 2 Button $(ui_text 5)" "item 1005 Static $(ui_text 4)" ;;
    about)
        printf '%s\n' "caption=$(ui_text 13)" "focus=1" "item 1 Button $(ui_text 3)" "item 1004 Static $(ui_text 2)" ;;
    esac
}

# Suspend requests: Wine's SetSystemPowerState is a stub that answers TRUE and leaves one warning of
# its channel per call; the program runs with that channel (moxu_start writes it to moxu.trace).
POWER_WINEDEBUG=-all,err+seh,warn+powermgnt
suspend_count() { cat "$T_DIR/moxu.trace" 2>/dev/null | grep -c 'SetSystemPowerState'; }
suspend_mark() { S_MARK=$(suspend_count); }
expect_suspends() {
    local n=$(($(suspend_count) - S_MARK))
    if [ "$n" -eq "$1" ]; then
        t_note "ok: $2: $n suspend request(s)"
    else
        t_fail "$2: $n suspend request(s), expected $1"
    fi
}

# A screenshot once the last window shown has painted (Wine paints after the driver found it).
shot_later() {
    sleep 0.5
    shot "$1"
}

finish() {
    check_seh
    if moxu_running; then
        t_fail "the program is still running at the end of the test"
    fi
    cleanup
    trap - EXIT
    local failures
    failures=$(t_failures)
    if [ "$failures" -ne 0 ]; then
        printf '%s: %d check(s) failed; files in %s\n' "$T_NAME" "$failures" "$T_DIR"
        exit 1
    fi
    printf '%s: all checks passed\n' "$T_NAME"
    exit 0
}
