#!/usr/bin/env bash
# Losing activation (another window is mapped and activated) ends the running show at once, with
# exit code 0.
. "$(dirname "$0")/lib.sh"
if e2e_begin deactivate; then
    e2e_start -all,trace+event
    if e2e_wait_window 30; then
        # During the title card its own loop takes the quit message, and the show goes on.
        e2e_check 'e2e_wait_show 40' "the show never started"
        t0=$(e2e_ms)
        e2e_check 'e2e_deactivate' "another window did not take the activation"
        e2e_wait_exit 10
        E2E_EXIT_MS=$(( $(e2e_ms) - t0 ))
        e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
        # At once, without the closing sequence (which takes seven seconds): what remains is the
        # other window's start, the shutdown and Wine's process exit, a few seconds when loaded.
        e2e_check '[ "$E2E_EXIT_MS" -le 6000 ]' "exit took $E2E_EXIT_MS ms"
        e2e_log "exit code $E2E_EXIT after $E2E_EXIT_MS ms"
    else
        e2e_fail "no window titled Quietembers"
    fi
fi
e2e_end
