#!/bin/bash
# The tray icon, both popup menus and the three dialogs under Wine, in English and in Japanese: what
# opens them, their texts in the code page of the language, their place on the desktop, what OK,
# Cancel, Enter, Esc and the close box do, and a screenshot of each in $MOXU_BUILD/wine/t_ui/<lang>/.
#
# What Wine allows (Wine 8.0, Xvfb without a window manager):
# - Nothing clicks the notification area: the driver posts WM_TRAYNOTIFY (0x500) with the icon's
#   identifier 0x3456 and the mouse message to the hidden window, as the shell would.
# - Another process cannot read a popup menu's items. It finds the menu's window (class #32768),
#   reads its position (the cursor set beforehand with SetCursorPos), and drives it with posted
#   keys: Down and Return choose an item, whose command then opens its dialog; Esc closes it.
# - Dialog and control texts are read with WM_GETTEXT as code-page bytes; the focus through
#   GetGUIThreadInfo. Buttons are pressed with a posted BM_CLICK, as a click would.
# - The warning sound of the change-bay dialog cannot be observed.
# - Suspend requests show through Wine's stub of SetSystemPowerState (see POWER_WINEDEBUG).
. "$(dirname "$0")/lib.sh"
MOXU_WINEDEBUG=$POWER_WINEDEBUG

PB=0x218 SUSPEND=4 RESUMESUSPEND=7
TRAY="0x500 0x3456"
WM_KEYDOWN=0x100 VK_RETURN=0x0D VK_ESCAPE=0x1B VK_DOWN=0x28
WM_COMMAND=0x111 WM_SYSCOMMAND=0x112 SC_CLOSE=0xF060
DISABLE='ThkEnableDisableDevice(0, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
ENABLE='ThkEnableDisableDevice(1, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
# The change-bay dialog reads the bay on every message it gets (and with a fixed module disables
# swapping each time): optional rows, like the idle poll ticks of system mode 1.
DIALOG_READS="$IDLE_TICK|^ThkGetSwapBayDevice[(][)] = 0x[0-9A-F]+\$|^ThkDisableSwap[(][)] = 0x1\$"

# A popup menu from the button-up message $2 with the cursor at $3,$4: its window lies there.
open_menu() {
    local name=$1 msg=$2 x=$3 y=$4
    drv cursor "$x" "$y" post $TRAY "$msg" waitmenu 10000 || { t_fail "$name: no popup menu"; return 1; }
    local at=${DRV_OUT#menu=}
    if [ "${at%,*,*}" = "$x,$y" ]; then
        t_note "ok: $name: popup menu at the cursor ($at)"
    else
        t_fail "$name: popup menu at $at, the cursor at $x,$y"
    fi
}

# Opens a dialog with the driver commands given, checks it against its table and keeps a screenshot.
open_dialog() {
    local name=$1 table=$2 shotname=$3
    shift 3
    drv "$@" waitdlg 10000 || { t_fail "$name: no dialog"; return 1; }
    expect_dialog "$name" $table
    [ -n "$shotname" ] && shot_later "$shotname"
}

# Closes the dialog with the driver commands given; the program must still run.
close_dialog() {
    local name=$1
    shift
    drv "$@" waitnodlg 10000 || t_fail "$name: the dialog did not close"
    drv send 0 0 0 >/dev/null || t_fail "$name: the program does not answer any more"
}

# The number of icons in the notification area, in TRAY_ICONS ("" when there is none), and the window.
tray_look() {
    drv traywin
    TRAY_OUT=$DRV_OUT
    TRAY_ICONS=$(sed -n 's/.* icons=//p' <<<"$DRV_OUT")
}

ui_tests() {
    # ---- The icon in Wine's notification area and the two popup menus.
    drv regclear
    local before
    tray_look
    before=${TRAY_ICONS:-0}
    scenario "tray and menus" device=5 mode=1
    LOG_IGNORE=$IDLE_TICK
    tray_look
    if [ "$before" = 0 ] && [ "$TRAY_ICONS" = 1 ]; then
        t_note "ok: $SCEN: the notification area shows one icon ($TRAY_OUT)"
    else
        t_fail "$SCEN: icons in the notification area: $before before the start, now: $TRAY_OUT"
    fi
    shot_later tray
    step "the mouse over the icon reads the bay for the tip" post $TRAY 0x200 send 0 0 0 <<'EOF'
ThkGetSwapBayDevice() = 0x5
EOF
    step "another icon identifier does nothing" post 0x500 0x3457 0x203 post 0x500 0x3457 0x202 \
        sleep 300 send 0 0 0 waitnodlg 0 </dev/null
    log_mark
    open_menu "left button" 0x202 200 150 && shot_later menu-left
    drv menupost $WM_KEYDOWN $VK_ESCAPE 0 waitnomenu 10000 || t_fail "left menu: Esc did not close it"
    open_menu "right button" 0x205 320 240 && shot_later menu-right
    drv menupost $WM_KEYDOWN $VK_ESCAPE 0 waitnomenu 10000 || t_fail "right menu: Esc did not close it"
    drv send 0 0 0 waitnodlg 0 >/dev/null || t_fail "$SCEN: a menu closed by Esc left something open"
    expect_log "$SCEN: menus make no controller call" </dev/null
    # The items carry their commands: each opens its dialog.
    open_menu "left menu, item 1" 0x202 200 150 &&
        open_dialog "left menu, item 1: change bay" "change 6" "" \
            menupost $WM_KEYDOWN $VK_DOWN 0 menupost $WM_KEYDOWN $VK_RETURN 0 &&
        close_dialog "change bay, Cancel" click 2
    open_menu "right menu, item 1" 0x205 320 240 &&
        open_dialog "right menu, item 1: unload" unload "" \
            menupost $WM_KEYDOWN $VK_DOWN 0 menupost $WM_KEYDOWN $VK_RETURN 0 &&
        close_dialog "unload, Cancel" click 2
    open_menu "right menu, item 3" 0x205 320 240 &&
        open_dialog "right menu, item 3 (past the separator): about" about "" \
            menupost $WM_KEYDOWN $VK_DOWN 0 menupost $WM_KEYDOWN $VK_DOWN 0 menupost $WM_KEYDOWN $VK_RETURN 0 &&
        close_dialog "about, OK" click 1
    LOG_IGNORE=$DIALOG_READS expect_log "$SCEN: menus and dialogs closed without OK: no other call" </dev/null

    # ---- The change-bay dialog with the change allowed and a started device node of the bay.
    drv regclear regnode 0x2A 'MF\CHILD0001' 0x8 || t_fail "regnode"
    scenario "change bay allowed" device=5 mode=0
    LOG_IGNORE=$DIALOG_READS
    suspend_mark
    log_mark
    open_dialog "double click" "change 6" change post $TRAY 0x203
    close_dialog "change bay, Cancel" click 2
    open_dialog "command 40002" "change 6" "" post $WM_COMMAND 40002 0
    close_dialog "change bay, Esc" dlgpost $WM_KEYDOWN $VK_ESCAPE 0
    open_dialog "double click again" "change 6" "" post $TRAY 0x203
    close_dialog "change bay, close box" dlgpost $WM_SYSCOMMAND $SC_CLOSE 0
    expect_log "$SCEN: Cancel, Esc and the close box only close it" </dev/null
    expect_suspends 0 "$SCEN: Cancel, Esc and the close box"
    open_dialog "double click for OK" "change 6" "" post $TRAY 0x203
    step "OK disables the started device and asks for suspend" click 1 waitnodlg 10000 send 0 0 0 <<EOF
$DISABLE
EOF
    expect_suspends 1 "$SCEN: OK"
    suspend_mark
    open_dialog "double click for Enter" "change 6" "" post $TRAY 0x203
    step "Enter acts as OK" dlgpost $WM_KEYDOWN $VK_RETURN 0 waitnodlg 10000 send 0 0 0 <<EOF
$DISABLE
EOF
    expect_suspends 1 "$SCEN: Enter"

    # ---- The change refused: a fixed module in the bay since start-up.
    scenario "change bay refused" device=40 mode=0
    LOG_IGNORE=$DIALOG_READS
    suspend_mark
    open_dialog "double click, fixed module" "change 7" change-refused post $TRAY 0x203
    step "OK only closes it" click 1 waitnodlg 10000 send 0 0 0 </dev/null
    expect_suspends 0 "$SCEN: OK"
    LOG_IGNORE=
    step "no swap suspend was asked for: resume enables nothing" send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<'EOF'
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x0
ThkGetSwapBayDevice() = 0x28
ThkDisableSwap() = 0x1
EOF

    # ---- About and unload. Neither reads the bay.
    scenario "about and unload" device=5 mode=0
    LOG_IGNORE=
    log_mark
    open_dialog "command 40007" about about post $WM_COMMAND 40007 0
    close_dialog "about, OK" click 1
    open_dialog "about again" about "" post $WM_COMMAND 40007 0
    close_dialog "about, Cancel (command 2)" dlgpost $WM_COMMAND 2 0
    open_dialog "about again" about "" post $WM_COMMAND 40007 0
    close_dialog "about, Esc" dlgpost $WM_KEYDOWN $VK_ESCAPE 0
    open_dialog "about again" about "" post $WM_COMMAND 40007 0
    close_dialog "about, close box" dlgpost $WM_SYSCOMMAND $SC_CLOSE 0
    open_dialog "command 40003" unload unload post $WM_COMMAND 40003 0
    close_dialog "unload, Cancel" click 2
    open_dialog "unload again" unload "" post $WM_COMMAND 40003 0
    close_dialog "unload, Esc" dlgpost $WM_KEYDOWN $VK_ESCAPE 0
    expect_log "$SCEN: about and unload without OK make no controller call" </dev/null
    open_dialog "unload for OK" unload "" post $WM_COMMAND 40003 0
    log_mark
    drv click 1 || t_fail "unload: cannot press OK"
    moxu_wait_exit 15
    expect_exit 0 "$SCEN: unload OK"
    expect_log "$SCEN: unload disables swapping twice and ends" <<'EOF'
ThkDisableSwap() = 0x1
ThkDisableSwap() = 0x1
EOF
    tray_look
    [ "${TRAY_ICONS:-0}" = 0 ] && t_note "ok: $SCEN: the icon left the notification area" ||
        t_fail "$SCEN: the notification area after the end: $TRAY_OUT"
    shot_later after-unload
}

for lang in en ja; do
    wine_lang $lang
    ui_tests
    wine_lang_end
done
finish
