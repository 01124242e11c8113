#!/usr/bin/env bash
# Losing activation (another window is mapped and activated) ends the running show at once, with
# exit code 0.
. "$(dirname "$0")/lib.sh"
if e2e_begin deactivate; then
    e2e_start -all,trace+event
    if e2e_wait_window 30; then
        # During the title card its own loop takes the quit message, and the show goes on.
        e2e_check 'e2e_wait_show 40' "the show never started"
        e2e_check 'e2e_activate' "the program's window never got the focus"
        e2e_spawn E2E_OTHER_PID "$E2E_OUT/xmessage.log" xmessage -geometry +300+200 -name other "another window"
        # The window manager lists the other window once it manages it.
        other=""
        for _ in $(seq 100); do
            other=$(qe_x wmctrl -l -x | awk '$3 ~ /^other\./ { print $1; exit }')
            [ -n "$other" ] && break
            sleep 0.05
        done
        e2e_check '[ -n "$other" ]' "the other window did not appear"
        # openbox keeps the focus on a full-screen window when a new one maps: ask for the switch,
        # as a task bar or Alt+Tab would, until it happens.
        t0=$(e2e_ms)
        qe_activate_window "$other"
        e2e_wait_exit 10
        E2E_EXIT_MS=$(( $(e2e_ms) - t0 ))
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
