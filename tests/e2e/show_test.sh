#!/usr/bin/env bash
# The whole show from outside: the title card (black first, then the picture 1:1 in the middle on
# its white edge), the composition after it (rainbow lines, slideshow, caption, globe corner,
# stars only inside the band), and after Escape the end card in the middle on black, then the
# program's own exit with code 0 about seven seconds after the key.
. "$(dirname "$0")/lib.sh"

# region_max IMAGE WxH+X+Y: the brightest channel value (0..255) inside the region.
region_max() {
    convert "$1" -crop "$2" +repage -format '%[fx:int(255*max(maxima.r,max(maxima.g,maxima.b)))]' info: 2>/dev/null
}
# region_min IMAGE WxH+X+Y: the darkest channel value (0..255) inside the region.
region_min() {
    convert "$1" -crop "$2" +repage -format '%[fx:int(255*min(minima.r,min(minima.g,minima.b)))]' info: 2>/dev/null
}
# shot NAME: a screenshot of the whole display (single-coloured pictures accepted).
shot() { e2e_screenshot "$1" any; E2E_SHOT="$E2E_OUT/$1.png"; }

if e2e_begin show; then
    e2e_start
    if e2e_wait_window 60; then
        e2e_activate
        # The title card is black for its first second of frames. Under load the first screenshot
        # can come too late for that, so a lit one is only reported.
        shot title_black
        first=$(region_max "$E2E_SHOT" 640x480+0+0)
        [ "${first:-0}" -le 8 ] || e2e_log "note: the first screenshot is already lit ($first)"

        # Once it has faded in, the picture shows on its surround: the same grey all round (the
        # image's white edge times the brightness), and something else in the middle square.
        # The card is lit for about four seconds of real time: on a machine so loaded that no
        # screenshot lands in them, the composition shows first, and the card is only reported as
        # missed (capture_test checks its pictures frame by frame, whatever the load).
        title_lit() {
            shot title_held
            corner=$(region_min "$E2E_SHOT" 192x112+0+0)
            [ "${corner:-0}" -ge 40 ] || [ "$(region_max "$E2E_SHOT" 640x1+0+59)" -ge 128 ]
        }
        e2e_wait_until 20 title_lit
        if [ "${corner:-0}" -lt 40 ] && [ "$(region_max "$E2E_SHOT" 640x1+0+59)" -ge 128 ]; then
            e2e_log "note: no screenshot caught the title card lit; the composition came first"
        else
            e2e_check '[ "${corner:-0}" -ge 40 ]' "title card's surround is dark ($corner)"
            e2e_check '[ "$(region_max "$E2E_SHOT" 640x112+0+368)" -le $((corner + 2)) ]' "title card's surround not even"
            e2e_check '[ "$(region_min "$E2E_SHOT" 256x256+192+112)" -lt "$corner" ]' "no picture in the middle"
        fi

        # The composition, once the title card is over and the opening fade has cleared: every part
        # lit, nothing outside the band (the title card lights the whole screen).
        lit() { [ "$(region_max "$E2E_SHOT" "$1")" -ge "$2" ]; }
        dark() { [ "$(region_max "$E2E_SHOT" "$1")" -le 8 ]; }
        composed() {
            shot running
            dark 640x58+0+0 && dark 300x18+200+422 || return 1
            for row in 59 420; do
                for x in 200 320 440 560; do lit 40x1+$x+$row 128 || return 1; done
            done
            lit 256x256+32+112 64 && lit 128x40+512+440 64 && lit 160x58+0+422 64
        }
        e2e_wait_until 40 composed
        # Each line is a strip one pixel high (y 59..60 and 420..421): it lights rows 59 and 420.
        for row in 59 420; do
            for x in 200 320 440 560; do
                e2e_check 'lit 40x1+$x+$row 128' "no rainbow line on row $row at x $x"
            done
        done
        e2e_check 'dark 640x58+0+0' "something above the band"
        e2e_check 'dark 300x18+200+422' "stars below the band"
        e2e_check 'lit 256x256+32+112 64' "no slide at x 32..288"
        e2e_check 'lit 128x40+512+440 64' "no caption in the corner"
        e2e_check 'lit 160x58+0+422 64' "no globe in the corner"

        before_key=$(e2e_ms)
        e2e_key Escape
        key_ms=$(e2e_ms)
        # The closing sequence runs seven seconds by the frame clock from its first frame, which
        # follows the key: the end card arrives in the middle over its first two seconds while the
        # rest fades to black, holds to its sixth, and the program quits at its seventh. So
        # whenever the program took the key, the card is whole from five seconds before the exit
        # until six seconds after the key was sent; a screenshot grabbed inside that span must show
        # it. Screenshots are taken until one does or the program has gone. On a machine so loaded
        # that none is grabbed inside the span, the card is only reported as missed.
        grabs=() shots=0
        end_card() {
            local t0=$(e2e_ms)
            shot "end_card-$((++shots))"
            grabs+=("$t0 $(e2e_ms) $E2E_SHOT")
            dark 640x100+0+0 && dark 180x480+0+0 && lit 240x240+200+120 64
        }
        e2e_wait_until 20 end_card && seen=1 || seen=0
        e2e_wait_exit 20
        # The key went out between before_key and key_ms: the lower bound counts from the first,
        # the upper from the second.
        total=$(( $(e2e_ms) - key_ms )) total_max=$(( $(e2e_ms) - before_key ))
        if [ $seen = 0 ]; then
            lo=$(( $(e2e_ms) - 5000 )) hi=$(( before_key + 6000 )) inside=""
            for g in "${grabs[@]}"; do
                read -r t0 t1 file <<<"$g"
                [ "$t0" -ge "$lo" ] && [ "$t1" -le "$hi" ] && inside=$file
            done
            if [ -n "$inside" ]; then
                E2E_SHOT=$inside
                e2e_check 'dark 640x100+0+0' "not black around the end card ($(basename "$inside"))"
                e2e_check 'dark 180x480+0+0' "the slide did not leave x 32 ($(basename "$inside"))"
                e2e_check 'lit 240x240+200+120 64' "no end card in the middle ($(basename "$inside"))"
            else
                e2e_log "note: no screenshot was grabbed while the end card certainly showed (${#grabs[@]} taken)"
            fi
        fi

        e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
        # Seven seconds of end sequence by the frame clock after the first closing frame; then the
        # shutdown and Wine's process exit, a few seconds at most on a loaded machine.
        e2e_check '[ "$total_max" -ge 6500 ] && [ "$total" -le 12000 ]' "exit $total..$total_max ms after Escape"
        e2e_log "exit code $E2E_EXIT, $total ms after Escape"
    else
        e2e_fail "no window titled Quietembers"
    fi
fi
e2e_end
