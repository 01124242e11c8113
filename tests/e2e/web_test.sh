#!/usr/bin/env bash
# The page in real Chromium (tests/e2e/web_drive.js): a window in the headless session's display,
# its sound to the session's PulseAudio. Judges the pictures taken in the frames drawn at chosen show
# times by the capture test's checks, the slices handed to the worklet against `xmtool render`
# (exactly), the sound the server played (exactly, the silence it inserts allowed for), the start
# screen before and after the run, and a console without errors.
set -u
. "$(dirname "$0")/lib.sh"
page="$e2e_root/build/web/quietembers.html"
escape_at=14  # seconds into the music

# Without the page (the web preset not built) there is nothing to play: skipped, as scripts/test asks.
[ -f "$page" ] || { echo "web_test: no $page (build the web preset)"; exit 77; }
QE_EXE=$page e2e_begin web || { e2e_end; exit $?; }
. "$e2e_root/scripts/lib/packages.sh"
qe_install_web_packages --with-npm || e2e_fail "could not install chromium, node or puppeteer-core"
e2e_xmtool
"$E2E_XMTOOL" render -o "$E2E_OUT/render.wav" >/dev/null 2>&1 || e2e_fail "xmtool render failed"

e2e_capture_start || e2e_fail "no sound capture"
e2e_log "playing the page"
if ! HOME="$E2E_OUT" timeout 240 node "$e2e_root/tests/e2e/web_drive.js" "$page" "$E2E_OUT" "$escape_at" \
        >"$E2E_OUT/drive.log" 2>&1 </dev/null; then
    e2e_fail "the page did not play through: $(tail -n 3 "$E2E_OUT/drive.log")"
fi
e2e_capture_stop

if [ -f "$E2E_OUT/report.json" ]; then
    python3 "$e2e_root/tests/e2e/capture_check.py" web "$E2E_OUT" "$E2E_OUT/render.wav" "$E2E_OUT/sound.raw" \
        >"$E2E_OUT/checks.log" 2>&1
    status=$?
    sed 's/^/    /' "$E2E_OUT/checks.log"
    [ "$status" = 0 ] || e2e_fail "the page's checks (checks.log)"
fi
e2e_end
