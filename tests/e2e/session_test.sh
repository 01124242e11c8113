#!/usr/bin/env bash
# Wine's desktop process names the display driver a moment after it starts; a program that Wine
# starts before then has no display all its life, and this program would end at once with exit
# code 0. The session waits for the driver before anything starts. Over fresh wineservers, a
# program started the moment the session is ready always gets a window; started without the wait,
# it sometimes does not (that count shows the race is real, and is only reported).
. "$(dirname "$0")/lib.sh"
probe=$e2e_root/build/win64/qe_display_ready.exe
rounds=8

# Runs the probe once: status 0 when it could make a window.
probe_once() { ( qe_close_fds; exec "$WINE" "$probe" </dev/null >/dev/null 2>&1 ); }

if e2e_begin session; then
    if [ ! -f "$probe" ]; then
        e2e_fail "no $probe (build the win64 preset)"
    else
        cold=0 ready=0
        for ((i = 0; i < rounds; i++)); do
            qe_wine_down
            qe_wine_up
            ( qe_close_fds; exec "$WINE" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 )
            probe_once || cold=$((cold + 1))
            if qe_session_wine_up; then
                probe_once || ready=$((ready + 1))
            else
                e2e_fail "round $i: the session's wineserver did not start"
            fi
        done
        e2e_log "no display driver in $cold of $rounds starts without the wait, in $ready of $rounds with it"
        e2e_check '[ "$ready" = 0 ]' "a program started in the ready session had no display driver"
    fi
fi
e2e_end
