#!/usr/bin/env bash
# The page in every browser engine (tests/e2e/web_drive.js): Chromium, Firefox ESR and WebKitGTK,
# each with a window in the headless session's display and its sound to the session's PulseAudio,
# judged on one table of checks (capture_check.py web): the pictures taken in chosen frames of a
# fixed frame clock, by the capture test's checks, the start screen before and after the run, the
# slices handed to the worklet against `xmtool render` (exactly), the sound the server played
# (exactly, the server's own underruns counted apart), and a console without errors. Then Chromium in a phone's shape (a tap starts, 4:3 with black around,
# upright and turned) and without WebGL 2 (the page's one line). Then, with the win64 capture build,
# Chromium on a fixed frame clock beside the capture's frames of the same index, region by region
# (printed, not judged: the rasterisers differ). QE_WEB_ENGINES picks some.
set -u
. "$(dirname "$0")/lib.sh"
page="$e2e_root/build/web/quietembers.html"
escape_at=14  # seconds into the music
engines=${QE_WEB_ENGINES:-chromium firefox webkit phone nowebgl2 frames}
capture_exe="$e2e_root/build/win64/quietembers-capture.exe"

# Without the page (the web preset not built) there is nothing to play: skipped, as scripts/test asks.
[ -f "$page" ] || { echo "web_test: no $page (build the web preset)"; exit 77; }
QE_EXE=$page e2e_begin web || { e2e_end; exit $?; }
. "$e2e_root/scripts/lib/packages.sh"
qe_install_web_packages --with-npm || e2e_fail "could not install the browsers, node or puppeteer-core"
e2e_xmtool
"$E2E_XMTOOL" render -o "$E2E_OUT/render.wav" >/dev/null 2>&1 || e2e_fail "xmtool render failed"

# The page on a fixed frame clock and the capture build, the same frames of each: the title card
# held, the composition 16 s and 36 s into the music, the end card.
frames() {
    local fps=30 music escape list
    [ -f "$capture_exe" ] || { e2e_log "frames: no $capture_exe (build the win64 preset): not compared"; return 0; }
    music=$(python3 "$e2e_root/tests/e2e/capture_check.py" title-frames $fps)
    escape=$((music + 38 * fps))
    list="title=$((3 * fps)) show16=$((music + 16 * fps)) show36=$((music + 36 * fps)) end=$((escape + 4 * fps))"
    QE_WEB_CLOCK=$(python3 -c 'import json, sys; print(json.dumps({"fps": int(sys.argv[1]), "escapeFrame": int(sys.argv[2]),
        "want": [{"name": a.split("=")[0], "frame": int(a.split("=")[1])} for a in sys.argv[3:]]}))' $fps $escape $list) \
        HOME="$dir" timeout 400 node "$e2e_root/tests/e2e/web_drive.js" frames "$page" "$dir" >"$dir/drive.log" 2>&1 </dev/null ||
        { e2e_fail "frames: the page did not play through: $(tail -n 3 "$dir/drive.log")"; return 0; }
    (
        qe_close_fds
        export QE_CAPTURE_FPS=$fps QE_CAPTURE_ACTION_FRAME=$escape QE_CAPTURE_SECONDS_MAX=$(((escape + 5 * fps) / fps)) \
            QE_CAPTURE_WAV="$dir/capture.wav" WINEDEBUG=-all
        timeout -k 5 400 "$WINE" "$capture_exe" 2>"$dir/capture.log" </dev/null |
            python3 "$e2e_root/tests/e2e/capture_frames.py" "$dir/capture" \
                $(for f in $list; do n=${f#*=}; echo $((n - 1)) "$n" $((n + 1)); done) >/dev/null
    ) || { e2e_fail "frames: the capture build did not run ($dir/capture.log)"; return 0; }
    python3 "$e2e_root/tests/e2e/capture_check.py" web-frames "$dir" "$dir/capture" $list | sed 's/^/    frames: /'
}

for engine in $engines; do
    dir="$E2E_OUT/$engine"
    rm -rf "$dir" && mkdir -p "$dir"
    [ "$engine" != frames ] || { frames; continue; }
    sound=""
    case $engine in chromium|firefox|webkit) sound=1 ;; esac
    [ -z "$sound" ] || qe_capture_start "$dir/sound.raw" || e2e_fail "no sound capture"
    e2e_log "playing the page in $engine"
    # Against a hang: both runs' 750 frames of the fixed clock at 2 frames a second, and the browser.
    HOME="$dir" timeout 900 node "$e2e_root/tests/e2e/web_drive.js" "$engine" "$page" "$dir" "$escape_at" \
        >"$dir/drive.log" 2>&1 </dev/null
    status=$?
    [ -z "$sound" ] || qe_capture_stop
    if [ "$status" != 0 ]; then
        e2e_fail "$engine: the page did not play through: $(tail -n 3 "$dir/drive.log")"
        continue
    fi
    python3 "$e2e_root/tests/e2e/capture_check.py" web "$dir" "$E2E_OUT/render.wav" "$dir/sound.raw" >"$dir/checks.log" 2>&1
    status=$?
    sed "s/^/    $engine: /" "$dir/checks.log"
    [ "$status" = 0 ] || e2e_fail "$engine: the page's checks ($engine/checks.log)"
done
e2e_end
