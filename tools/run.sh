#!/bin/bash
# Builds the win64 program and runs it under Wine beside the stand-in controller.
#   tools/run.sh [en|ja]
# On a display ($DISPLAY set) the program runs there until it is unloaded from its tray menu.
# Without one it runs on a private Xvfb: the test opens the change-bay dialog, keeps screenshots,
# closes the program and prints where everything is.
set -u
cd "$(dirname "$0")/.."
. tools/deps.sh
moxu_ensure_packages || exit 1
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j"${MOXU_JOBS:-2}" >/dev/null || {
    echo "build of win64 failed" >&2
    exit 1
}

lang=${1:-en}
[ -n "${DISPLAY:-}" ] && export MOXU_WINE_DISPLAY=$DISPLAY
MOXU_BUILD=$PWD/build/win64 MOXU_SRC=$PWD
. tests/wine/lib.sh
T_NAME=run-$lang
T_DIR=$MOXU_BUILD/wine/$T_NAME
wine_setup "$lang"
# The stand-in controller: a removable module in the bay, system mode 1 (the poll runs).
state device=5 mode=1
moxu_start
t_note "the program runs; controller state: $MOXU2_STATE, controller log: $MOXU2_LOG"

if [ -n "${MOXU_WINE_DISPLAY:-}" ]; then
    t_note "on display $DISPLAY: unload it from the right-button tray menu (or Ctrl-C here)"
    moxu_wait_exit 86400
else
    shot tray
    # A double-click on the icon opens the change-bay dialog; give it a moment to paint.
    drv post 0x500 0x3456 0x203 waitdlg 10000 sleep 700 && shot change-bay-dialog
    drv dlgpost 0x111 2 0 waitnodlg 10000
    moxu_stop
    t_note "exit code $MOXU_EXIT; the controller calls (count, call; the dialog reads the bay on every message):"
    tr -d '\r' <"$MOXU2_LOG" | uniq -c
fi
finish
