#!/usr/bin/env bash
# WM_CLOSE (wmctrl -c, as Alt+F4 would send) ends the running show at once, with exit code 0.
. "$(dirname "$0")/lib.sh"
if e2e_begin close; then
    e2e_start
    if e2e_wait_window 30; then
        # During the title card its own loop takes the quit message, and the show goes on.
        e2e_check 'e2e_wait_show 40' "the show never started"
        wmctrl -c Quietembers 2>/dev/null
        e2e_wait_exit 10
        e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
        # At once, without the closing sequence (which takes seven seconds): what remains is the
        # shutdown and Wine's process exit, a second or two on a loaded machine.
        e2e_check '[ "$E2E_EXIT_MS" -le 4000 ]' "exit took $E2E_EXIT_MS ms"
        e2e_log "exit code $E2E_EXIT after $E2E_EXIT_MS ms"
    else
        e2e_fail "no window titled Quietembers"
    fi
fi
e2e_end
