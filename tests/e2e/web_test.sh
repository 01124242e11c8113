#!/usr/bin/env bash
# The page in every browser engine (tests/e2e/web_drive.js): Chromium, Firefox ESR and WebKitGTK,
# each with a window in the headless session's display and its sound to the session's PulseAudio,
# judged on one table of checks (capture_check.py web): the pictures taken in chosen frames of a
# fixed frame clock, by the capture test's checks, the start screen before and after the run, the
# slices handed to the worklet against `xmtool render` (exactly), the sound the server played
# (exactly, the server's own underruns counted apart), and a console without errors. Then Chromium in a phone's shape (a tap starts, 4:3 with black around,
# upright and turned) and without WebGL 2 (the page's one line). QE_WEB_ENGINES picks some. The
# page's frames beside the capture build's are measured by bench/web-frames, not here.
set -u
. "$(dirname "$0")/lib.sh"
page="$e2e_root/build/web/quietembers.html"
escape_at=14  # seconds into the music
engines=${QE_WEB_ENGINES:-chromium firefox webkit phone nowebgl2}

# Without the page (the web preset not built) there is nothing to play: skipped, as scripts/test asks.
[ -f "$page" ] || { echo "web_test: no $page (build the web preset)"; exit 77; }
QE_EXE=$page e2e_begin web || { e2e_end; exit $?; }
. "$e2e_root/scripts/lib/packages.sh"
qe_install_web_packages --with-npm || e2e_fail "could not install the browsers, node or puppeteer-core"
e2e_xmtool
"$E2E_XMTOOL" render -o "$E2E_OUT/render.wav" >/dev/null 2>&1 || e2e_fail "xmtool render failed"

for engine in $engines; do
    dir="$E2E_OUT/$engine"
    rm -rf "$dir" && mkdir -p "$dir"
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
