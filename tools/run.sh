#!/bin/bash
# Builds the win64 program and runs it under Wine beside the stand-in controller.
#   tools/run.sh [en|ja]
# On a display ($DISPLAY set) the program runs there until it is unloaded from its tray menu: its
# icon sits in Wine's notification area (the desktop's tray, or a small "Wine System Tray" window);
# the left button opens the menu with the change of the bay, the right button the menu with unload
# and about. (A double click shows the left menu: its first release opens the menu, whose loop then
# takes the second click.)
# Without a display it runs on a private Xvfb and takes the tour a user would: the icon, both
# menus and the three dialogs, each kept as a screenshot, and ends with unload; then it prints
# where everything is and the controller calls made.
# MOXU_BUILD picks another build folder of the win64 preset (default build/win64).
set -u
cd "$(dirname "$0")/.."
. tools/deps.sh
moxu_ensure_packages || exit 1
MOXU_BUILD=${MOXU_BUILD:-$PWD/build/win64}
MOXU_SRC=$PWD
cmake --preset win64 -B "$MOXU_BUILD" >/dev/null && cmake --build "$MOXU_BUILD" -j"${MOXU_JOBS:-2}" >/dev/null || {
    echo "build of win64 failed" >&2
    exit 1
}

lang=${1:-en}
[ -n "${DISPLAY:-}" ] && export MOXU_WINE_DISPLAY=$DISPLAY
. tests/wine/lib.sh
T_NAME=run-$lang
T_DIR=$MOXU_BUILD/wine/$T_NAME
wine_setup "$lang"
# The stand-in controller: a removable module in the bay, system mode 1 (the poll runs).
state device=5 mode=1
moxu_start
t_note "the program runs; controller state: $MOXU2_STATE, controller log: $MOXU2_LOG"

if [ -n "${MOXU_WINE_DISPLAY:-}" ]; then
    t_note "on display $DISPLAY: the icon is in Wine's notification area; left-click it to change the bay,"
    t_note "right-click it to unload the program or for the about box (or Ctrl-C here)"
    moxu_wait_exit 86400 && t_note "the program ended with exit code $MOXU_EXIT"
else
    WM_KEYDOWN=0x100 VK_ESCAPE=0x1B
    drv sleep 500 traywin && t_note "notification area: $DRV_OUT"
    shot tray
    # The mouse on the icon: the tool-tip, then each button as the shell reports it (WM_TRAYNOTIFY).
    drv post 0x500 0x3456 0x200
    drv cursor 200 150 post 0x500 0x3456 0x202 waitmenu 10000 sleep 500 && shot menu-left
    drv menupost $WM_KEYDOWN $VK_ESCAPE 0 waitnomenu 10000
    drv cursor 320 240 post 0x500 0x3456 0x205 waitmenu 10000 sleep 500 && shot menu-right
    drv menupost $WM_KEYDOWN $VK_ESCAPE 0 waitnomenu 10000
    # The dialogs: a double click on the icon, then the menu commands; Cancel or OK closes each.
    drv post 0x500 0x3456 0x203 waitdlg 10000 sleep 700 && shot change-bay-dialog
    drv click 2 waitnodlg 10000
    drv post 0x111 40007 0 waitdlg 10000 sleep 700 && shot about-dialog
    drv click 1 waitnodlg 10000
    drv post 0x111 40003 0 waitdlg 10000 sleep 700 && shot unload-dialog
    # OK in the unload dialog ends the program.
    drv click 1
    moxu_wait_exit 15 || moxu_stop
    t_note "exit code $MOXU_EXIT; the controller calls (count, call; the dialog reads the bay on every message):"
    tr -d '\r' <"$MOXU2_LOG" | uniq -c
fi
finish
