#!/usr/bin/env bash
# The scroll text: once the first lines have scrolled in, text shows in the band's right half
# (x 320..640, y 60..420) and nowhere above or below it, and it rises 6.4 pixels per second.
. "$(dirname "$0")/lib.sh"

# shot NAME: a screenshot of the root window; prints the moment it was taken (ms, midpoint of xwd).
shot() {
    local t0 t1
    t0=$(e2e_ms)
    xwd -root -silent >"$E2E_OUT/$1.xwd" 2>/dev/null </dev/null
    t1=$(e2e_ms)
    convert "xwd:$E2E_OUT/$1.xwd" "png:$E2E_OUT/$1.png" </dev/null
    rm -f "$E2E_OUT/$1.xwd"
    echo $(( (t0 + t1) / 2 ))
}

if e2e_begin scroll_text; then
    e2e_start -all,trace+fps
    if e2e_wait_window 30 && e2e_wait_frames 30 && e2e_wait_show 40; then
        # The first line enters the band 3.75 s into the show, and the band holds several lines
        # some seconds later: from the moment the composition shows, wait eight seconds, then
        # measure how far the text rises over five.
        e2e_wait_ms_since "$(e2e_ms)" 8000
        ta=$(shot a)
        e2e_wait_ms_since "$ta" 5000
        tb=$(shot b)
        read -r shift text_a text_b outside < <(python3 "$(dirname "$0")/band_shift.py" "$E2E_OUT/a.png" "$E2E_OUT/b.png")
        expected=$(( (tb - ta) * 64 / 10000 ))
        e2e_log "moved $shift rows in $((tb - ta)) ms (expected $expected); text $text_a / $text_b; outside $outside"
        e2e_check '[ "${text_a:-0}" -gt 20000 ] && [ "${text_b:-0}" -gt 20000 ]' "no text in the band"
        e2e_check '[ "${outside:-1}" -eq 0 ]' "text outside the band"
        e2e_check '[ "${shift:-0}" -ge $((expected - 2)) ] && [ "${shift:-0}" -le $((expected + 2)) ]' \
            "the text moved $shift rows, not $expected"
        wmctrl -c Quietembers 2>/dev/null
        e2e_wait_exit 10
    else
        e2e_fail "no window, no frames or no show"
    fi
fi
e2e_end
