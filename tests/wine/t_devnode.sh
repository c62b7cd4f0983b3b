#!/bin/bash
# The bay's device node under Wine: the start-up scan of HKEY_DYN_DATA\Config Manager\Enum, the
# arrival and removal broadcasts, and what OK in the change-bay dialog does with the node.
#
# What Wine allows (found with this test, Wine 8.0):
# - Our driver can create node keys under HKEY_DYN_DATA\Config Manager\Enum; they are volatile and
#   live as long as the wineserver, so the server is kept alive (wineserver -p) from before the
#   first key until the end. Other processes see them, enumerated sorted by name, and so does the
#   program's start-up scan.
# - WM_DEVICECHANGE sent (not posted) from the driver reaches the program with its
#   DEV_BROADCAST_DEVNODE record; the node number arrives intact (the program then opens that
#   node's key). A record-less lParam of 0 cannot be sent across processes: it arrives as an empty
#   record, so that case belongs to the host tests.
# - Which node the program holds is invisible by itself: the registry reads and the controller
#   calls show it only when OK in the change-bay dialog asks whether the node is started. The
#   program's registry reads are seen through Wine's own trace (WINEDEBUG=trace+reg), reduced here
#   to "open KEY", "enum INDEX" and "query VALUE" lines.
# - SetSystemPowerState answers TRUE at once, so OK returns after one suspend request, and the
#   flag it sets shows at the next suspend event, which the test sends itself.
. "$(dirname "$0")/lib.sh"
wine_setup en
MOXU_WINEDEBUG=-all,err+seh,trace+reg

PB=0x218 SUSPEND=4 RESUMESUSPEND=7
ARRIVAL=0x8000 REMOVECOMPLETE=0x8004 QUERYREMOVE=0x8001
DISABLE='ThkEnableDisableDevice(0, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
ENABLE='ThkEnableDisableDevice(1, "hdc", "Enum\MF\CHILD0001", 0x11) = 0x1'
# Open the change-bay dialog by a double-click on the icon, press OK, wait until the modal loop is over.
CHANGE_OK="post 0x500 0x3456 0x203 waitdlg 10000 dlgpost 0x111 1 0 waitnodlg 10000 send 0 0 0"
# The dialog reads the bay device on every message it gets: those calls are optional rows.
DIALOG_READS='^ThkGetSwapBayDevice[(][)] = 0x5$'

reg_trace() {
    sed -n -E \
        -e 's/.*trace:reg:NtOpenKeyEx \(0x[0-9a-f]+,L"(Config Manager[^"]*|[0-9A-F]{8})".*/open \1/p' \
        -e 's/.*trace:reg:RegEnumKeyExA \([0-9A-F]+,([0-9]+),.*/enum \1/p' \
        -e 's/.*trace:reg:RegQueryValueExA \([0-9A-F]+,"([^"]*)".*/query \1/p' \
        "$T_DIR/moxu.trace" 2>/dev/null | sed 's/\\\\/\\/g'
}
trace_mark() { R_MARK=$(reg_trace | wc -l); }

# step NAME DRIVER-ARGS...; the registry reads on stdin, then the controller calls after a line "--".
devstep() {
    local name=$1 want
    shift
    want=$(cat)
    log_mark
    trace_mark
    drv "$@" >/dev/null || t_fail "$SCEN: $name: the driver failed"
    reg_trace | tail -n +$((R_MARK + 1)) >"$T_DIR/actual-reg.txt"
    LOG_IGNORE= expect_lines "$SCEN: $name: registry" "$T_DIR/actual-reg.txt" <<<"${want%%--*}"
    LOG_IGNORE=$DIALOG_READS expect_log "$SCEN: $name: controller" <<<"${want#*--}"
}

# ---- Nodes made before the start, then followed through broadcasts.
drv regclear regnode 0x10 'PCI\VEN_8086' 0x8 regnode 0x2A 'MF\CHILD0001\ROOT\0' 0x8 \
    regnode 0x31 'mf\child0001' 0x8 regnode 0x35 'MF\CHILD000' 0x8 reglist || t_abort "cannot create node keys"
printf '%s\n' "$DRV_OUT" >"$T_DIR/actual-reglist.txt"
expect_lines "another process sees the driver's keys" "$T_DIR/actual-reglist.txt" <<'EOF'
00000010 PCI\VEN_8086 0x8
0000002A MF\CHILD0001\ROOT\0 0x8
00000031 mf\child0001 0x8
00000035 MF\CHILD000 0x8
EOF

trace_mark
scenario "nodes at start-up" device=5 mode=0
reg_trace >"$T_DIR/actual-reg.txt"
expect_lines "$SCEN: the scan opens and reads every node" "$T_DIR/actual-reg.txt" <<'EOF'
open Config Manager\Enum
enum 0
open 00000010
query HardWareKey
enum 1
open 0000002A
query HardWareKey
enum 2
open 00000031
query HardWareKey
enum 3
open 00000035
query HardWareKey
enum 4
EOF
devstep "OK finds the scanned node started and disables the device" $CHANGE_OK <<EOF
open Config Manager\Enum\0000002A
query Status
--
$DISABLE
EOF
devstep "the suspend after OK is a swap suspend" send $PB $SUSPEND 0 send $PB $RESUMESUSPEND 0 <<EOF
--
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x0
$DISABLE
ThkGetSwapBayDevice() = 0x5
$ENABLE
EOF
devstep "removal of another node changes nothing" devchange $REMOVECOMPLETE 1 0x10 $CHANGE_OK <<EOF
open Config Manager\Enum\0000002A
query Status
--
$DISABLE
EOF
devstep "removal with device type 2 changes nothing" devchange $REMOVECOMPLETE 2 0x2A $CHANGE_OK <<EOF
open Config Manager\Enum\0000002A
query Status
--
$DISABLE
EOF
devstep "query-remove of the node changes nothing" devchange $QUERYREMOVE 1 0x2A $CHANGE_OK <<EOF
open Config Manager\Enum\0000002A
query Status
--
$DISABLE
EOF
devstep "removal of the node forgets it: OK reads nothing, disables nothing" \
    devchange $REMOVECOMPLETE 1 0x2A $CHANGE_OK <<EOF
--
EOF
devstep "arrival of a node in other case does not match" devchange $ARRIVAL 1 0x31 $CHANGE_OK <<EOF
open Config Manager\Enum\00000031
query HardWareKey
--
EOF
devstep "arrival of a node without a key reads nothing more" devchange $ARRIVAL 1 0x77 <<EOF
open Config Manager\Enum\00000077
--
EOF
devstep "arrival with device type 2 reads nothing" devchange $ARRIVAL 2 0x2A <<EOF
--
EOF
drv regnode 0x40 'MF\CHILD0001' 0x0 || t_fail "regnode"
devstep "arrival of a child that is not started: OK leaves the device alone" \
    devchange $ARRIVAL 1 0x40 $CHANGE_OK <<EOF
open Config Manager\Enum\00000040
query HardWareKey
open Config Manager\Enum\00000040
query Status
--
EOF
drv regnode 0x40 'MF\CHILD0001' 0xFFFFFFF7 || t_fail "regnode"
devstep "every status bit but bit 3: not started" $CHANGE_OK <<EOF
open Config Manager\Enum\00000040
query Status
--
EOF
drv regnode 0x40 'MF\CHILD0001' 0x8 || t_fail "regnode"
devstep "status 8: started" $CHANGE_OK <<EOF
open Config Manager\Enum\00000040
query Status
--
$DISABLE
EOF
devstep "arrival of a second child replaces the first" devchange $ARRIVAL 1 0x2A $CHANGE_OK <<EOF
open Config Manager\Enum\0000002A
query HardWareKey
open Config Manager\Enum\0000002A
query Status
--
$DISABLE
EOF
devstep "removal of the earlier one changes nothing" devchange $REMOVECOMPLETE 1 0x40 $CHANGE_OK <<EOF
open Config Manager\Enum\0000002A
query Status
--
$DISABLE
EOF

# ---- Two children at start-up: the one enumerated last is kept.
drv regclear regnode 0x50 'MF\CHILD0001\A' 0x8 regnode 0x51 'MF\CHILD0001\B' 0x0 || t_fail "regnode"
scenario "two children at start-up" device=5 mode=0
devstep "OK asks about the later node" $CHANGE_OK <<EOF
open Config Manager\Enum\00000051
query Status
--
EOF

# ---- A child without a "Status" value counts as not started.
drv regclear regnode 0x60 'MF\CHILD0001' - || t_fail "regnode"
scenario "child without status" device=5 mode=0
devstep "OK reads the missing status, leaves the device alone" $CHANGE_OK <<EOF
open Config Manager\Enum\00000060
query Status
--
EOF

# ---- No node at all: OK still asks for the suspend.
drv regclear || t_fail "regclear"
scenario "no node" device=5 mode=0
devstep "OK reads no node and disables nothing" $CHANGE_OK <<EOF
--
EOF
devstep "but the suspend is a swap suspend" send $PB $SUSPEND 0 <<EOF
--
ThkGetCurSystemMode() = 0x0
ThkGetSwapBayStatus() = 0x0
$DISABLE
EOF
scenario_end

finish
