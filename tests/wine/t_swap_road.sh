#!/bin/bash
# The road of a bay change under Wine, end to end, in English and in Japanese: the bay's device node
# found by the start-up scan, the double click, the change-bay dialog, OK, the device disabled and
# the suspend asked for, the suspend event, a new module, the resume events, and the fixed-device
# rule for the new module; then the three ways a change is refused. Screenshots and logs are in
# $MOXU_BUILD/wine/t_swap_road/<lang>/.
#
# Wine's SetSystemPowerState answers TRUE at once and broadcasts nothing: the test counts the
# requests through Wine's trace of that stub and sends the suspend and resume events itself, and it
# plays the user who changes the module by rewriting the stand-in controller's state in between.
. "$(dirname "$0")/lib.sh"
MOXU_WINEDEBUG=$POWER_WINEDEBUG

PB=0x218 SUSPEND=4 RESUMESUSPEND=7 RESUMEAUTOMATIC=18
TRAY="0x500 0x3456"
DISABLE='ThkEnableDisableDevice(0, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
ENABLE='ThkEnableDisableDevice(1, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
# The change-bay dialog reads the bay on every message (and with a fixed module disables swapping
# each time); in system mode 1 the idle poll ticks come when they come: optional rows.
DIALOG_READS="$IDLE_TICK|^ThkGetSwapBayDevice[(][)] = 0x[0-9A-F]+\$|^ThkDisableSwap[(][)] = 0x1\$"

# The change-bay dialog by a double click on the icon, checked with text $1, kept as screenshot $2.
open_change() {
    drv post $TRAY 0x203 waitdlg 10000 || { t_fail "$SCEN: no change-bay dialog"; return 1; }
    expect_dialog "$SCEN: change-bay dialog" change "$1"
    [ -n "${2:-}" ] && shot_later "$2"
}

# OK in the change-bay dialog, as a click on the button; the table on stdin, then the suspend count.
press_ok() {
    local name=$1 suspends=$2
    suspend_mark
    LOG_IGNORE=$DIALOG_READS step "$name" click 1 waitnodlg 10000 send 0 0 0
    expect_suspends "$suspends" "$SCEN: $name"
}

road() {
    local mode=$1 suspend_reads
    # What a suspend event reads before it looks at the flags: system mode 0 also reads the status.
    if [ "$mode" = 0 ]; then
        suspend_reads=$'ThkGetCurSystemMode() = 0x0\nThkGetSwapBayStatus() = 0x0'
    else
        suspend_reads='ThkGetCurSystemMode() = 0x1'
    fi
    LOG_IGNORE=$IDLE_TICK

    # ---- A removable module (5) for another removable one (7), then for a fixed one (40).
    drv regclear regnode 0x11 'PCI\VEN_1179&DEV_0102' 0x8 regnode 0x2A 'MF\CHILD0001\PCI&VEN_1179' 0x8 \
        regnode 0x3B 'MF\CHILD0002' 0x8 || t_abort "cannot create the device nodes"
    scenario "the road" device=5 mode=$mode
    T_MARK=0
    expect_log "$SCEN: start-up" <<EOF
ThkGetSwapBayDevice() = 0x5
ThkGetSwapCapability() = 0x1
ThkGetSwapBayStatus() = 0x0
ThkGetCurSystemMode() = 0x$mode
EOF
    log_mark
    open_change 6 change
    press_ok "OK: the started device is disabled, the suspend asked for" 1 <<EOF
$DISABLE
EOF
    step "suspend event: the device disabled a second time" send $PB $SUSPEND 0 <<EOF
$suspend_reads
$DISABLE
EOF
    state device=7 mode=$mode
    step "module 7 in, two resume events: enabled once" send $PB $RESUMESUSPEND 0 send $PB $RESUMEAUTOMATIC 0 <<EOF
ThkGetSwapBayDevice() = 0x7
$ENABLE
ThkGetSwapBayDevice() = 0x7
EOF
    step "the next suspend is no swap suspend" send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<EOF
$suspend_reads
ThkGetSwapBayDevice() = 0x7
EOF
    log_mark
    open_change 6
    press_ok "second change: OK" 1 <<EOF
$DISABLE
EOF
    step "second change: suspend event" send $PB $SUSPEND 0 <<EOF
$suspend_reads
$DISABLE
EOF
    state device=40 mode=$mode
    step "fixed module 40 in: enabled, then swapping disabled" \
        send $PB $RESUMESUSPEND 0 send $PB $RESUMEAUTOMATIC 0 <<EOF
ThkGetSwapBayDevice() = 0x28
$ENABLE
ThkDisableSwap() = 0x1
ThkGetSwapBayDevice() = 0x28
ThkDisableSwap() = 0x1
EOF
    log_mark
    open_change 7 change-refused
    press_ok "with module 40 OK only closes" 0 </dev/null
    step "no swap suspend: suspend and resume leave the device alone" \
        send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<EOF
$suspend_reads
ThkGetSwapBayDevice() = 0x28
ThkDisableSwap() = 0x1
EOF
    log_mark
    drv post 0x111 40003 0 waitdlg 10000 click 1 || t_fail "$SCEN: cannot unload"
    moxu_wait_exit 15
    expect_exit 0 "$SCEN: unload"
    expect_log "$SCEN: unload" <<'EOF'
ThkDisableSwap() = 0x1
ThkDisableSwap() = 0x1
EOF

    # ---- Refused: a fixed module in the bay at start-up.
    scenario "fixed module at start-up" device=40 mode=$mode
    T_MARK=0
    expect_log "$SCEN: start-up disables swapping" <<EOF
ThkGetSwapBayDevice() = 0x28
ThkGetSwapCapability() = 0x1
ThkDisableSwap() = 0x1
ThkGetSwapBayStatus() = 0x0
ThkGetCurSystemMode() = 0x$mode
EOF
    log_mark
    open_change 7
    press_ok "OK only closes" 0 </dev/null
    state device=5 mode=$mode
    step "a removable module later: still refused, no swap suspend" send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<EOF
$suspend_reads
ThkGetSwapBayDevice() = 0x5
EOF
    log_mark
    open_change 7

    # ---- Refused: a fixed module inserted while the dialog shows text 6.
    scenario "fixed module inserted while the dialog is open" device=5 mode=$mode
    log_mark
    open_change 6
    state device=40 mode=$mode
    # Every message the dialog gets from now on sees the fixed module; its text stays.
    expect_dialog "$SCEN: the dialog keeps text 6" change 6
    shot_later change-inserted
    press_ok "OK closes without disabling" 0 <<'EOF'
ThkGetSwapBayDevice() = 0x28
ThkDisableSwap() = 0x1
EOF
    step "no swap suspend: resume enables nothing" send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<EOF
$suspend_reads
ThkGetSwapBayDevice() = 0x28
ThkDisableSwap() = 0x1
EOF

    # ---- Refused: a fixed module seen at resume, after a change of a removable one.
    scenario "fixed module seen at resume" device=5 mode=$mode
    log_mark
    open_change 6
    press_ok "OK" 1 <<EOF
$DISABLE
EOF
    state device=32 mode=$mode
    step "suspend, fixed module 32 in, resume" send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<EOF
$suspend_reads
$DISABLE
ThkGetSwapBayDevice() = 0x20
$ENABLE
ThkDisableSwap() = 0x1
EOF
    log_mark
    open_change 7
    press_ok "OK only closes" 0 </dev/null
    scenario_end
}

wine_lang en
road 1
wine_lang_end
wine_lang ja
road 0
wine_lang_end
finish
