#!/usr/bin/env bash
# The 32-bit program, as its probe build (the same program with the probe's report and pictures;
# stripped as scripts/release strips what it packs), under 32-bit Wine on qemu-i386
# (scripts/lib/win32.sh) in the headless session. Everything 32-bit on the Unix side runs emulated,
# at one or two frames a second, so only what does not depend on speed is checked: the title card
# lit on its surround, the composition, the end card after Escape (the probe's pictures, taken in
# the frames that drew them by the show's own timers), exit code 0 and nothing left running, and
# the sound heard equal to `xmtool render` for as long as it was heard before Escape: the 32-bit
# mixer against the 64-bit one, sample for sample.
. "$(dirname "$0")/lib.sh"

# Only against a hang: start-up under emulation takes half a minute, the title card six seconds,
# then 30 s of show, the closing sequence's seven, at one frame a second at worst.
limit=600
music=15   # seconds of it compared at least

exe32="$e2e_root/build/win32/quietembers-probe.exe"
[ -f "$exe32" ] || { echo "no $exe32 (build the win32 preset): skipped"; exit 77; }
if e2e_begin win32 && e2e_xmtool; then
    if ! qe_win32_setup >"$E2E_OUT/setup.log" 2>&1; then
        e2e_fail "the 32-bit route could not be set up: $(tail -n 1 "$E2E_OUT/setup.log")"
    elif ! SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$E2E_OUT/quietembers-probe.exe" "$exe32"; then
        e2e_fail "cannot strip $exe32"
    else
        # The session's display and sound server, with a 32-bit prefix and wineserver of our own.
        prefix64=$WINEPREFIX
        WINE=$WINE32 WINEPREFIX=$E2E_OUT/prefix QE_PROBE_EXE=$E2E_OUT/quietembers-probe.exe
        cp -a "$QE_WINE32_TEMPLATE" "$WINEPREFIX"
        trap 'WINEPREFIX=$E2E_OUT/prefix $WINESERVER -k 2>/dev/null; WINEPREFIX=$prefix64 e2e_cleanup' EXIT
        if ! qe_session_wine_up >>"$E2E_OUT/setup.log" 2>&1; then
            e2e_fail "the 32-bit wineserver did not start: $(tail -n 1 "$E2E_OUT/setup.log")"
        elif ! e2e_capture_start; then
            e2e_fail "could not record the sound server's monitor"
        else
            e2e_probe_start -all,trace+fps
            if e2e_wait_window "$limit"; then
                e2e_activate
                e2e_wait_picture composition "$limit" && e2e_grab composition
                e2e_check 'e2e_wait_until $limit e2e_music_heard $music' "less than $music s of music heard"
                heard=$(e2e_music_heard)
                e2e_key Escape
                e2e_wait_exit "$limit"
                e2e_capture_stop
                e2e_sound_check "$heard"
                e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
                e2e_check 'e2e_title_card' "the title card was not drawn"
                e2e_check 'e2e_composition' "the composition was not drawn"
                e2e_check 'e2e_end_card' "the end card was not drawn"
                e2e_check 'e2e_grab_lit composition' "no frame reached the display"
                e2e_log "about $(e2e_fps) frames a second under emulation; the title card at grey $(e2e_probe title_level)"
            else
                e2e_fail "no window titled Quietembers"
            fi
        fi
        $WINESERVER -k 2>/dev/null
        timeout 30 $WINESERVER -w 2>/dev/null
        rm -rf "$WINEPREFIX"
        WINE=$WINE64 WINEPREFIX=$prefix64
    fi
fi
e2e_end
