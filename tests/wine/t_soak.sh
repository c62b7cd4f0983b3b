#!/bin/bash
# The soak run under Wine: thousands of mixed messages (tool-tip refreshes, popup menus and dialogs
# opened and cancelled, power broadcasts, a changing bay under the poll) from tests/soak.exe, while
# the program's memory, handle and window counts are read from beside it. Fails when the program
# stops answering, Wine reports an exception, the program does not end cleanly, or a count grows
# beyond its slack after the warm-up.
#
# CI runs the short form. The environment sets the long one (tools/soak.sh does):
#   SOAK_MESSAGES (1000)  steps        SOAK_EVERY (100)  steps between counts
#   SOAK_SEED             the order    SOAK_REPORT       the Markdown report ($T_DIR/report.md)
#   SOAK_TMP (/dev/shm)   where the controller log lives during the run
#   SOAK_DIR              the run's folder ($MOXU_BUILD/wine/t_soak)
. "$(dirname "$0")/lib.sh"
if [ -n "${SOAK_DIR:-}" ]; then
    T_NAME=soak
    T_DIR=$SOAK_DIR
fi

SOAK_MESSAGES=${SOAK_MESSAGES:-1000}
SOAK_EVERY=${SOAK_EVERY:-100}
SOAK_SEED=${SOAK_SEED:-20240611}

[ -f "$MOXU_BUILD/tests/soak.exe" ] || { printf 'FAIL: %s is missing (build the win64 preset)\n' "$MOXU_BUILD/tests/soak.exe"; exit 1; }
wine_setup en
SOAK_REPORT=${SOAK_REPORT:-$T_DIR/report.md}
mkdir -p "$(dirname "$SOAK_REPORT")"
rm -f "$SOAK_REPORT"

# The stand-in controller appends a line per call and the dialogs read the bay on every message:
# several MB in a long run, so the log goes to memory and only its summary stays.
SOAK_LOGDIR=$(mktemp -d "${SOAK_TMP:-/dev/shm}/moxu-soak.XXXXXX") || t_abort "cannot make a folder in ${SOAK_TMP:-/dev/shm}"
# lib.sh's cleanup runs from its traps and from finish; ours also removes the log's folder.
eval "lib_$(declare -f cleanup)"
cleanup() {
    lib_cleanup
    rm -rf "$SOAK_LOGDIR"
}
export MOXU2_LOG=$SOAK_LOGDIR/controller.log
: >"$MOXU2_LOG"

state mode=1 device=5
moxu_start

# The Unix processes behind the program and behind this prefix's wineserver, for their VmRSS.
unix_pid=0
for pid in $(pgrep -P "$MOXU_JOB"); do
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q 'moxu\.exe' && unix_pid=$pid
done
server_pid=0
# The server works in a folder named server-DEV-INODE (the prefix's, in hex) under a temporary one.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
for pid in $(pgrep -x 'wineserver(64)?'); do
    case $(readlink "/proc/$pid/cwd" 2>/dev/null) in */"$server_dir") server_pid=$pid ;; esac
done
[ "$unix_pid" != 0 ] || t_note "the program's Unix process was not found: no VmRSS figures"
rss() { [ "$1" != 0 ] && awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
t_note "program: Unix pid $unix_pid, VmRSS $(rss "$unix_pid") KiB; wineserver: pid $server_pid, VmRSS $(rss "$server_pid") KiB"

t_note "soak: $SOAK_MESSAGES steps, counts every $SOAK_EVERY, seed $SOAK_SEED"
"$WINE64" "$MOXU_BUILD/tests/soak.exe" -n "$SOAK_MESSAGES" -k "$SOAK_EVERY" -seed "$SOAK_SEED" \
    -unixpid "$unix_pid" -serverpid "$server_pid" -report "Z:$SOAK_REPORT" \
    >"$T_DIR/soak.out" 2>"$T_DIR/soak.err"
soak_rc=$?
cat "$T_DIR/soak.err" >>"$T_DIR/wine.out"
t_note "after the run: program VmRSS $(rss "$unix_pid") KiB, wineserver VmRSS $(rss "$server_pid") KiB"

moxu_running || t_abort "the program ended during the soak run (exit code $(cat "$T_DIR/exit" 2>/dev/null))"
moxu_stop
expect_exit 0 "WM_CLOSE after the soak run"

if [ -s "$SOAK_REPORT" ]; then
    {
        printf '\n## Controller calls\n\n'
        printf 'Log of the stand-in controller, %s bytes at the end.\n\n' "$(stat -c %s "$MOXU2_LOG")"
        printf '| Calls | Call |\n|---:|---|\n'
        tr -d '\r' <"$MOXU2_LOG" | sort | uniq -c | sort -rn | awk '{ n = $1; $1 = ""; sub(/^ /, ""); printf "| %d | `%s` |\n", n, $0 }'
    } >>"$SOAK_REPORT"
    cat "$SOAK_REPORT"
else
    tr -d '\r' <"$T_DIR/soak.out"
fi
case $soak_rc in
    0) t_note "ok: the soak run passed (report: $SOAK_REPORT)" ;;
    *) t_fail "the soak run failed, exit status $soak_rc:"; tr -d '\r' <"$T_DIR/soak.err" | grep -v '^soak: [0-9]* steps' ;;
esac
finish
