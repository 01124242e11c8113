#!/usr/bin/env bash
# WM_CLOSE (wmctrl -c, as Alt+F4 would send) while the show runs ends the process at once, with
# exit code 0. (During the title card it only ends the title card: the closing sequence follows.)
. "$(dirname "$0")/lib.sh"
if e2e_begin close; then
    e2e_start -all,trace+fps
    if e2e_wait_window 30 && e2e_wait_frames 30; then
        sleep 8  # past the six-second title card, into the show's main loop
        wmctrl -c Quietembers 2>/dev/null
        e2e_wait_exit 10
        e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
        e2e_check '[ "$E2E_EXIT_MS" -le 2000 ]' "exit took $E2E_EXIT_MS ms"
        e2e_log "exit code $E2E_EXIT after $E2E_EXIT_MS ms"
    else
        e2e_fail "no window titled Quietembers"
    fi
fi
e2e_end
