#!/usr/bin/env bash
# Every heap block is freed by the time the process ends, whichever way the running show is ended:
# Escape (closing sequence, then the program's own quit), WM_CLOSE, or loss of activation. Runs the
# probe build, whose exit report counts the blocks still allocated.
. "$(dirname "$0")/lib.sh"

# ending: how the show is ended; seconds: how long the exit may take (Escape: about seven seconds
# of closing sequence and end card, doubled for a loaded machine; the others quit at once).
endings=(
    "escape      20  e2e_key Escape"
    "close       10  wmctrl -c Quietembers"
    "deactivate  10  e2e_deactivate"
)

if e2e_begin heap_exit; then
    for row in "${endings[@]}"; do
        read -r ending seconds action <<<"$row"
        e2e_probe_start
        if ! e2e_wait_window 30 || ! e2e_wait_show 40; then
            e2e_fail "$ending: the show never started"
            break
        fi
        $action </dev/null >/dev/null 2>&1 || e2e_fail "$ending: could not $action"
        e2e_wait_exit "$seconds"
        blocks=$(e2e_probe live_blocks)
        e2e_log "$ending: exit code $E2E_EXIT, live_blocks=${blocks:-none}"
        e2e_check '[ "$E2E_EXIT" = 0 ]' "$ending: exit code $E2E_EXIT"
        e2e_check '[ "$blocks" = 0 ]' "$ending: heap blocks left at exit: ${blocks:-no report}"
        [ "$E2E_EXIT" = 124 ] && break  # still running: the next run would meet its window
    done
fi
e2e_end
