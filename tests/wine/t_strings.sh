#!/bin/bash
# The string table under Wine, as the program reads it: LoadStringA of strings 1..14 from moxu.exe
# in the English prefix (code page 1252) and in the Japanese one (code page 932, the 1041 set).
. "$(dirname "$0")/lib.sh"

# Runs the loader in one language; the code page it reports shows which set the platform picked.
check_strings() {
    local lang=$1 cp=$2 out rc
    wine_setup "$lang"
    out=$("$WINE64" "$MOXU_BUILD/tests/loadstrings.exe" 2>>"$T_DIR/wine.out")
    rc=$?
    out=${out//$'\r'/}
    printf '%s\n' "$out"
    if ! printf '%s\n' "$out" | head -n1 | grep -q ", code page $cp\$"; then
        t_fail "$lang: the loader did not run in code page $cp"
    elif [ "$rc" -ne 0 ]; then
        t_fail "$lang: $(printf '%s\n' "$out" | tail -n1)"
    else
        t_note "ok: $lang: all strings as code page $cp"
    fi
    check_seh
    cleanup
}

check_strings en 1252
check_strings ja 932
finish
