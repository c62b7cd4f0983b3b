#!/bin/bash
# The swap policy under Wine: power broadcasts, the poll of system mode 1, system mode 0, the
# fixed-device rule at resume, and the upper bits of the controller's results. Each scenario starts
# a fresh program; each step sends messages from our driver and compares the controller calls with
# its table.
#
# Wine's SetSystemPowerState answers TRUE and broadcasts nothing, so after a swap request the test
# sends the suspend and resume events itself. What the suspend request itself does cannot be seen
# here: only the flag it leaves behind, through the calls of the next suspend and resume events.
. "$(dirname "$0")/lib.sh"
wine_setup en

PB=0x218                                  # WM_POWERBROADCAST
QUERYSUSPEND=0 SUSPEND=4 STANDBY=5
RESUMECRITICAL=6 RESUMESUSPEND=7 RESUMESTANDBY=8 RESUMEAUTOMATIC=18
DISABLE='ThkEnableDisableDevice(0, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
ENABLE='ThkEnableDisableDevice(1, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'

# ---- System mode 1: the poll runs; idle ticks may come anywhere.
LOG_IGNORE=$IDLE_TICK

scenario "mode 1, no swap request" device=5 mode=1
step "query-suspend does nothing" send $PB $QUERYSUSPEND 0 </dev/null
step "other power events do nothing" send $PB 9 0 send $PB 10 0 send $PB 0x8013 0 </dev/null
step "suspend reads the mode only" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x1
EOF
step "standby reads the mode only" send $PB $STANDBY 0 <<EOF
ThkGetCurSystemMode() = 0x1
EOF
step "the four resume events read the device, enable nothing" \
    send $PB $RESUMECRITICAL 0 send $PB $RESUMESUSPEND 0 send $PB $RESUMESTANDBY 0 send $PB $RESUMEAUTOMATIC 0 <<EOF
ThkGetSwapBayDevice() = 0x5
ThkGetSwapBayDevice() = 0x5
ThkGetSwapBayDevice() = 0x5
ThkGetSwapBayDevice() = 0x5
EOF

scenario "mode 1, swap request from the poll" device=5 mode=1
swap_tick "a tick with status 1 asks for suspend" <<EOF
ThkGetSwapBayStatus() = 0x1
ThkGetSwapBayDevice() = 0x5
EOF
step "query-suspend leaves the request alone" send $PB $QUERYSUSPEND 0 </dev/null
step "suspend disables the bay device" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x1
$DISABLE
EOF
step "two resume events enable it once" send $PB $RESUMEAUTOMATIC 0 send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0x5
$ENABLE
ThkGetSwapBayDevice() = 0x5
EOF
step "the next suspend is no swap suspend" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x1
EOF
# Every suspend event (4, 5) with every resume event (6, 7, 8, 18).
for pair in "$STANDBY $RESUMECRITICAL" "$SUSPEND $RESUMESTANDBY" "$STANDBY $RESUMEAUTOMATIC"; do
    set -- $pair
    swap_tick "swap request before $1/$2" <<EOF
ThkGetSwapBayStatus() = 0x1
ThkGetSwapBayDevice() = 0x5
EOF
    step "power event $1 then $2" send $PB $1 0 send $PB $2 0 <<EOF
ThkGetCurSystemMode() = 0x1
$DISABLE
ThkGetSwapBayDevice() = 0x5
$ENABLE
EOF
done

scenario "mode 1, idle poll" device=5 mode=1
log_mark
sleep 3.5
ticks=$(log_since | grep -Ec "$IDLE_TICK")
others=$(log_since | grep -Evc "$IDLE_TICK")
if [ "$ticks" -ge 2 ] && [ "$ticks" -le 5 ] && [ "$others" -eq 0 ]; then
    t_note "ok: $SCEN: $ticks idle ticks in 3.5 s, one ThkGetSwapBayStatus each"
else
    t_fail "$SCEN: $ticks idle ticks and $others other calls in 3.5 s (want 2 to 5 ticks, nothing else)"
    log_since
fi

scenario "mode 1, fixed device in the bay" device=32 mode=1
swap_tick "a swap request with a fixed device only disables swapping" <<EOF
ThkGetSwapBayStatus() = 0x1
ThkGetSwapBayDevice() = 0x20
ThkDisableSwap() = 0x1
EOF
step "suspend: no swap suspend" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x1
EOF
step "resume applies the fixed-device rule" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0x20
ThkDisableSwap() = 0x1
EOF

scenario "mode 1, change refused after a fixed device" device=5 mode=1
state device=32 mode=1
step "a resume finds a fixed device" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0x20
ThkDisableSwap() = 0x1
EOF
swap_tick "a removable module's swap request still suspends" <<EOF
ThkGetSwapBayStatus() = 0x1
ThkGetSwapBayDevice() = 0x5
EOF
step "suspend leaves the device alone (change refused)" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x1
EOF
step "resume enables it all the same" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0x5
$ENABLE
EOF

scenario "mode 1, upper bits" device=5 mode=1 upper=0xABCD0000
log_mark
sleep 2.5
if log_since | grep -Evq "$IDLE_TICK"; then
    t_fail "$SCEN: a status of 0xABCD0000 was taken as a swap request"
    log_since
else
    t_note "ok: $SCEN: status 0xABCD0000 is no swap request"
fi
swap_tick "status 0xABCD0001 is a swap request" <<EOF
ThkGetSwapBayStatus() = 0xABCD0001
ThkGetSwapBayDevice() = 0xABCD0005
EOF
step "suspend in mode 0xABCD0001 (mode 1) disables without reading the status" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0xABCD0001
$DISABLE
EOF
state device=0 mode=1 upper=0xABCD0000
step "resume with device 0xABCD0000 (an empty bay) enables nothing" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0xABCD0000
EOF
state device=62 mode=1 upper=0xABCD0000
step "resume with device 0xABCD003E is a fixed device" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0xABCD003E
ThkDisableSwap() = 0x1
EOF

# ---- System mode 0: no timer, the status is read at each suspend event.
LOG_IGNORE=

scenario "mode 0, no poll" device=5 mode=0
log_mark
sleep 2.5
expect_log "$SCEN: no calls without events" </dev/null

scenario "mode 0, status at suspend" device=5 mode=0
step "status 0: no swap suspend" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x0
EOF
state device=5 mode=0 status=2
step "status 2 (bit 0 clear): no swap suspend" send $PB $STANDBY 0 <<EOF
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x2
EOF
step "resume after no swap suspend enables nothing" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0x5
EOF
state device=5 mode=0 status=1
step "status 1: swap suspend" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x1
$DISABLE
EOF
state device=0xFFFF mode=0
step "resume with 0xFFFF counts as a module" send $PB $RESUMECRITICAL 0 send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0xFFFF
$ENABLE
ThkGetSwapBayDevice() = 0xFFFF
EOF
state device=5 mode=0 status=3
step "status 3 at standby: swap suspend" send $PB $STANDBY 0 <<EOF
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x3
$DISABLE
EOF
state device=0 mode=0
step "resume with an empty bay enables nothing" send $PB $RESUMEAUTOMATIC 0 <<EOF
ThkGetSwapBayDevice() = 0x0
EOF
state device=5 mode=0 status=1
step "swap suspend again" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x1
$DISABLE
EOF
state device=40 mode=0 status=1
step "resume with a fixed device: enable, then the rule" send $PB $RESUMESTANDBY 0 <<EOF
ThkGetSwapBayDevice() = 0x28
$ENABLE
ThkDisableSwap() = 0x1
EOF
step "change refused: a swap suspend leaves the device alone" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x1
EOF
state device=5 mode=0
step "refused or not, resume enables after a swap suspend" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0x5
$ENABLE
EOF

scenario "mode 0, upper bits" device=5 mode=0 upper=0xABCD0000
step "status 0xABCD0000: no swap suspend" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0xABCD0000
ThkGetSwapBayStatus() = 0xABCD0000
EOF
state device=5 mode=0 status=1 upper=0xABCD0000
step "status 0xABCD0001: swap suspend" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0xABCD0000
ThkGetSwapBayStatus() = 0xABCD0001
$DISABLE
EOF
step "resume enables" send $PB $RESUMESUSPEND 0 <<EOF
ThkGetSwapBayDevice() = 0xABCD0005
$ENABLE
EOF

scenario "other system mode 2" device=5 mode=2 status=1
log_mark
sleep 2.5
expect_log "$SCEN: no poll" </dev/null
step "suspend reads the mode, not the status" send $PB $SUSPEND 0 <<EOF
ThkGetCurSystemMode() = 0x2
EOF
scenario_end

finish
