#!/usr/bin/env bash
# The scroll text: once the first lines have scrolled in, text shows in the band's right half
# (x 320..640, y 60..420) and nowhere above or below it, and it rises 6.4 pixels per second.
. "$(dirname "$0")/lib.sh"

# shot NAME: a screenshot of the root window; prints when xwd started and when it ended (ms). The
# picture is grabbed somewhere in between: on a loaded machine xwd's own start can take a second.
shot() {
    local t0 t1
    t0=$(e2e_ms)
    xwd -root -silent >"$E2E_OUT/$1.xwd" 2>/dev/null </dev/null
    t1=$(e2e_ms)
    convert "xwd:$E2E_OUT/$1.xwd" "png:$E2E_OUT/$1.png" </dev/null
    rm -f "$E2E_OUT/$1.xwd"
    echo "$t0 $t1"
}

if e2e_begin scroll_text; then
    e2e_start -all,trace+fps
    if e2e_wait_window 30 && e2e_wait_frames 30 && e2e_wait_show 40; then
        # The first line enters the band 3.75 s into the show, and the band holds several lines
        # some seconds later: from the moment the composition shows, wait eight seconds, then
        # measure how far the text rises over five.
        e2e_wait_ms_since "$(e2e_ms)" 8000
        read -r ta0 ta1 < <(shot a)
        e2e_wait_ms_since "$ta1" 5000
        read -r tb0 tb1 < <(shot b)
        read -r shift text_a text_b outside < <(python3 "$(dirname "$0")/band_shift.py" "$E2E_OUT/a.png" "$E2E_OUT/b.png")
        # Each picture shows the last frame presented before its grab, at most 0.1 s old (the show
        # runs at 60 frames a second or more), so the text has risen 6.4 px/s over at least
        # tb0 - ta1 - 100 ms and at most tb1 - ta0 + 100 ms; a row either way for the measure.
        lo=$(( (tb0 - ta1 - 100) * 64 / 10000 - 1 ))
        hi=$(( (tb1 - ta0 + 100) * 64 / 10000 + 1 ))
        e2e_log "moved $shift rows in $((tb0 - ta1))..$((tb1 - ta0)) ms (expected $lo..$hi); text $text_a / $text_b; outside $outside"
        e2e_check '[ "${text_a:-0}" -gt 20000 ] && [ "${text_b:-0}" -gt 20000 ]' "no text in the band"
        e2e_check '[ "${outside:-1}" -eq 0 ]' "text outside the band"
        e2e_check '[ "${shift:-0}" -ge "$lo" ] && [ "${shift:-0}" -le "$hi" ]' "the text moved $shift rows, not $lo..$hi"
        wmctrl -c Quietembers 2>/dev/null
        e2e_wait_exit 10
    else
        e2e_fail "no window, no frames or no show"
    fi
fi
e2e_end
