#!/bin/bash
# Start-up under Wine: the hidden window, the controller calls of start-up, the single-instance
# rule, and the end of the run with its exit code.
#
# Exit codes: wine64 runs in the foreground of a background subshell and `wait` gives its status,
# which is the program's exit code (checked here with a WM_DESTROY whose wParam is 7).
. "$(dirname "$0")/lib.sh"
wine_setup en
LOG_IGNORE=$IDLE_TICK

# One row per start: the controller's state, then the results the start-up calls must show, in
# the order Device, Capability, [DisableSwap for a fixed device], Status, Mode. The stand-in adds
# the upper bits to every result it reads; only the low 16 bits may decide anything.
#  name               state (comma-separated)           Device      Capab.      Disable  Status      Mode
while read -r name st dev cap dis stat mode; do
    [ -z "$name" ] || [ "${name#\#}" != "$name" ] && continue
    [ "$st" = - ] && st=
    IFS=, read -r -a fields <<<"$st"
    state "${fields[@]}"
    : >"$MOXU2_LOG"
    log_mark
    moxu_start
    {
        echo "ThkGetSwapBayDevice() = $dev"
        echo "ThkGetSwapCapability() = $cap"
        [ "$dis" = yes ] && echo "ThkDisableSwap() = 0x1"
        echo "ThkGetSwapBayStatus() = $stat"
        echo "ThkGetCurSystemMode() = $mode"
    } | expect_log "start-up, $name"
    log_mark
    moxu_stop
    expect_exit 0 "WM_CLOSE, $name"
    printf 'ThkDisableSwap() = 0x1\n' | expect_log "WM_DESTROY disables swapping, $name"
    [ "$(log_lines | tail -n1)" = "ThkDisableSwap() = 0x1" ] || t_fail "$name: the log does not end with ThkDisableSwap"
done <<'EOF'
empty-bay           -                                   0x0         0x1         no       0x0         0x1
removable-5         device=5                            0x5         0x1         no       0x0         0x1
below-range-31      device=31                           0x1F        0x1         no       0x0         0x1
first-fixed-32      device=32                           0x20        0x1         yes      0x0         0x1
last-fixed-62       device=62                           0x3E        0x1         yes      0x0         0x1
above-range-63      device=63                           0x3F        0x1         no       0x0         0x1
no-module-FFFF      device=0xFFFF                       0xFFFF      0x1         no       0x0         0x1
fixed-mode-0        device=40,mode=0,status=1           0x28        0x1         yes      0x1         0x0
upper-bits-fixed    device=32,upper=0xABCD0000          0xABCD0020  0xABCD0001  yes      0xABCD0000  0xABCD0001
upper-bits-5        device=5,mode=0,upper=0xABCD0000    0xABCD0005  0xABCD0001  no       0xABCD0000  0xABCD0000
EOF

# The window: class "MOXU", title "MOXU", never shown.
state device=5
: >"$MOXU2_LOG"
moxu_start
drv find
[ "$DRV_OUT" = "class=MOXU visible=0" ] && t_note "ok: hidden window of class MOXU" || t_fail "window: '$DRV_OUT'"
shot startup

# A second start finds the title, ends with 0 at once and calls nothing.
log_mark
moxu_run_fg
expect_exit 0 "second start"
expect_log "second start makes no controller call" </dev/null
drv find >/dev/null || t_fail "the first instance's window is gone after the second start"

# The exit code is the wParam of WM_QUIT, which WM_DESTROY posts with its own wParam.
log_mark
drv send 0x2 7 0 >/dev/null
moxu_wait_exit 15
expect_exit 7 "WM_DESTROY with wParam 7"
printf 'ThkDisableSwap() = 0x1\n' | expect_log "WM_DESTROY calls ThkDisableSwap"

# Any top-level window titled "MOXU" stops a start, whatever its class.
"$WINE64" "$MOXU_BUILD/tests/moxudrv.exe" fakewin 20000 >"$T_DIR/fakewin.out" 2>>"$T_DIR/wine.out" &
fake_pid=$!
for n in $(seq 200); do grep -q 'fakewin up' "$T_DIR/fakewin.out" && break; sleep 0.1; done
drv find
case $DRV_OUT in
class=MOXUDRV-OTHER*)
    log_mark
    moxu_run_fg
    expect_exit 0 "start beside another class's window titled MOXU"
    expect_log "no controller call beside another class's window" </dev/null
    ;;
*) t_fail "the driver's window of another class did not appear: '$DRV_OUT'" ;;
esac
kill "$fake_pid" 2>/dev/null
wait "$fake_pid" 2>/dev/null

finish
