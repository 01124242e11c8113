# tests/e2e/lib.sh -- helpers for end-to-end tests and the soak: the real program under Wine in
# the headless session, driven and watched from outside (window, keys, screenshots, captured sound,
# exit code), and judged by the one verdict (scripts/lib/verdict.sh).
#
#   . "$(dirname "$0")/lib.sh"
#   e2e_begin NAME [WxH]        # joins the session scripts/test runs if its size fits, else starts one
#   e2e_start [WINEDEBUG]       # starts the program ($QE_EXE, default build/win64/quietembers.exe)
#   e2e_probe_start [WINEDEBUG] # the probe build instead; e2e_probe KEY reads its exit report
#   e2e_picture NAME            # the probe's picture NAME (title, composition, end_card), taken
#                               # in the frame that drew it; e2e_wait_picture NAME SECONDS waits for it
#   e2e_wait_window [SECONDS]   # waits for the window titled "Quietembers"; sets E2E_WINDOW
#   e2e_fps                     # the frame rate Wine last reported (WINEDEBUG trace+fps)
#   e2e_lit / e2e_dark REGION   # E2E_SHOT's brightest channel in WxH+X+Y: lit, or black
#   e2e_title_card / e2e_composition / e2e_end_card   # the probe's picture shows that picture
#   e2e_grab NAME / e2e_grab_lit NAME   # grabs of the display, kept; after the run: one is not black
#   e2e_key KEY / e2e_close / e2e_deactivate   # Escape, WM_CLOSE, another window takes the focus
#   e2e_capture_start / e2e_capture_stop   # $E2E_OUT/sound.raw, then sound.wav
#   e2e_music_heard [S] / e2e_sound_check S  # the sound recorded; its first S s against the render
#   e2e_wait_exit SECONDS       # judges the run; sets E2E_EXIT (124: still running)
#   e2e_wait_until SECONDS CMD  # waits until CMD succeeds
#   e2e_xmtool                  # sets E2E_XMTOOL, built up to date from the native build
#   e2e_check COND MESSAGE...   # records a failure when the shell test COND (a string) is false
#   e2e_end                     # stops what the test started, checks nothing is left; exit status
#                               # 0 passed, 1 failed, 75 an environment fault (worth one more try)
#
# Every time limit here is against a hang, never a measure: what depends on time is judged by the
# capture build (capture_test, the soak), and the show's pictures are the probe's, taken in the
# frames that drew them and judged after the run. Output (pictures, sound, the Wine log) stays in
# build/e2e/NAME/ for inspection.

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$e2e_root/scripts/lib/session.sh"
. "$e2e_root/scripts/lib/verdict.sh"

: "${QE_EXE:=$e2e_root/build/win64/quietembers.exe}"
E2E_NAME="" E2E_OUT="" E2E_FAILED=0 E2E_ENV="" E2E_PID="" E2E_TAG="" E2E_EXTRA_PIDS=()

e2e_t0=$(date +%s%3N)
e2e_ms() { date +%s%3N; }
e2e_log() { printf '[%s %5.1fs] %s\n' "$E2E_NAME" "$(( $(e2e_ms) - e2e_t0 ))e-3" "$*"; }
e2e_fail() { e2e_log "FAIL: $*"; E2E_FAILED=1; }
e2e_check() {
    local cond=$1
    shift
    eval "$cond" || e2e_fail "$* ($cond)"
}

e2e_begin() {
    E2E_NAME=$1
    E2E_OUT="$e2e_root/build/e2e/$E2E_NAME"
    rm -rf "$E2E_OUT"
    mkdir -p "$E2E_OUT"
    trap 'e2e_cleanup' EXIT
    trap 'e2e_cleanup; trap - INT; kill -INT $$' INT
    trap 'e2e_cleanup; exit 143' TERM HUP
    [ -f "$QE_EXE" ] || { e2e_fail "no program at $QE_EXE (build the win64 preset)"; return 1; }
    qe_session "${2:-640x480}" || { e2e_fail "the headless session did not start"; return 1; }
    [ -n "$QE_SESSION_OWN" ] && e2e_log "session ${2:-640x480} on display $DISPLAY"
    return 0
}

# e2e_start [WINEDEBUG]: the program, with its Wine log in $E2E_OUT/wine.log (what the verdict
# reads: winediag for a missing display driver, the module trace for the orderly exit, the C
# library's message when it aborts). A tag in its environment finds every process it leaves behind.
e2e_start() {
    E2E_TAG="$E2E_NAME-$$-$RANDOM" E2E_PAUSES=$(qe_pauses) E2E_JUDGED=""
    QE_E2E_TAG=$E2E_TAG WINEDEBUG=${1:--all},$QE_VERDICT_CHANNELS \
        qe_spawn E2E_PID "$E2E_OUT/wine.log" "$WINE" "$QE_EXE"
}

e2e_probe_start() {
    E2E_PROBE_OUT="$E2E_OUT/probe-$((++e2e_probe_runs)).txt"
    rm -f "$E2E_PROBE_OUT"
    QE_EXE=${QE_PROBE_EXE:-$e2e_root/build/win64/quietembers-probe.exe} QE_PROBE_OUT=$E2E_PROBE_OUT e2e_start "$@"
}
e2e_probe_runs=0
e2e_probe() { sed -n "s/^$1=//p" "$E2E_PROBE_OUT" 2>/dev/null | head -n 1; }
e2e_picture() { echo "${E2E_PROBE_OUT%.txt}-$1.ppm"; }
e2e_wait_picture() { e2e_wait_until "$2" test -s "$(e2e_picture "$1")"; }

# e2e_xmtool: E2E_XMTOOL, brought up to date from the same sources as the program when the native
# build exists (scripts/test builds it before these tests run).
e2e_xmtool() {
    E2E_XMTOOL="$e2e_root/build/native/xmtool"
    [ -f "$e2e_root/build/native/CMakeCache.txt" ] &&
        cmake --build "$e2e_root/build/native" --target xmtool >/dev/null 2>&1 </dev/null
    [ -x "$E2E_XMTOOL" ] || { e2e_fail "no $E2E_XMTOOL (build the native preset)"; return 1; }
}

e2e_wait_window() {
    e2e_wait_until "${1:-60}" eval 'E2E_WINDOW=$(qe_x xdotool search --onlyvisible --name "^Quietembers\$" | head -n 1); [ -n "$E2E_WINDOW" ]'
}

# Wine's "fps" channel reports the presented frames about every second and a half; the first
# report counts from the device's creation and reads 0.
e2e_fps() {
    sed -n 's/.*trace:fps:.*present.* @ approx \([0-9.]*\)fps.*/\1/p' "$E2E_OUT/wine.log" | grep -v '^0*\.*0*$' | tail -n 1
}

# e2e_wait_until SECONDS CMD...: runs CMD every 0.2 s until it succeeds; false if it has not after
# SECONDS, or once the program has ended and CMD still fails.
e2e_wait_until() {
    local until=$(( $(e2e_ms) + $1 * 1000 ))
    shift
    while :; do
        "$@" && return 0
        [ "$(e2e_ms)" -ge "$until" ] && return 1
        [ -n "$E2E_PID" ] && ! qe_alive "$E2E_PID" && { "$@"; return; }
        sleep 0.2
    done
}

# E2E_SHOT's brightest and darkest channel value (0..255) inside WxH+X+Y.
e2e_region() {
    local v
    v=$(convert "$E2E_SHOT" -crop "$2" +repage -format "%[fx:int(255*$1(${1}ima.r,$1(${1}ima.g,${1}ima.b)))]" info: 2>/dev/null)
    echo "${v:-0}"
}
e2e_lit() { [ "$(e2e_region max "$1")" -ge "${2:-64}" ]; }
e2e_dark() { [ "$(e2e_region max "$1")" -le 8 ]; }

# The show's three pictures, as the probe took them. The title card: nothing brighter than the grey
# the probe says it was drawn with (the level its last fade-in frame reached, which depends on the
# frame times), and when that is lit, the same grey all round its picture, darker in the middle; the
# composition (colour lines, slide, caption, globe, nothing above the band nor below it where the
# text runs); the end card in the middle on black.
e2e_title_card() {
    E2E_SHOT=$(e2e_picture title)
    local level=$(($(e2e_probe title_level) + 0)) corner
    [ -s "$E2E_SHOT" ] && [ "$(e2e_region max 640x480+0+0)" -le $((level + 2)) ] || return 1
    [ "$level" -lt 32 ] && return 0
    corner=$(e2e_region min 192x112+0+0)
    [ "$corner" -gt 8 ] && [ "$(e2e_region max 640x112+0+368)" -le $((corner + 2)) ] &&
        [ "$(e2e_region min 256x256+192+112)" -lt "$corner" ]
}
e2e_composition() {
    E2E_SHOT=$(e2e_picture composition)
    local row x
    for row in 59 420; do
        for x in 200 320 440 560; do e2e_lit 40x1+$x+$row 128 || return 1; done
    done
    e2e_dark 640x58+0+0 && e2e_dark 320x17+320+423 && e2e_dark 300x18+200+422 &&
        e2e_lit 256x256+32+112 && e2e_lit 128x40+512+440 && e2e_lit 160x58+0+422 && e2e_lit 320x360+320+60
}
# The end card: lit where it covers x 192..288 at every point of its glide, black above, below and
# right of it. Where it stops depends on the frame rate (it keeps the x of the last arrival frame:
# x 192..448 at a high one, further left at the 32-bit route's one frame a second); the capture
# build pins it exactly.
e2e_end_card() {
    E2E_SHOT=$(e2e_picture end_card)
    e2e_dark 640x100+0+0 && e2e_dark 640x100+0+380 && e2e_dark 190x480+450+0 && e2e_lit 96x240+192+120
}

# e2e_grab NAME: the display as it is now, grabbed a few times unconverted ($E2E_OUT/NAME-N.xwd);
# e2e_grab_lit NAME, after the run: one grab is not black, so frames reached the window (one grab
# in about thirty comes back black).
e2e_grab() { local n; for n in 1 2 3; do xwd -root -silent >"$E2E_OUT/$1-$n.xwd" 2>/dev/null </dev/null; done; }
e2e_grab_lit() {
    local f
    for f in "$E2E_OUT/$1"-*.xwd; do E2E_SHOT=xwd:$f; e2e_lit 640x480+0+0 && return 0; done
    return 1
}

e2e_activate() { qe_activate_window "$E2E_WINDOW"; }
e2e_key() { e2e_activate; xdotool key "$1" </dev/null >/dev/null 2>&1; }
e2e_close() { wmctrl -c Quietembers </dev/null >/dev/null 2>&1; }

# e2e_deactivate: another window takes the activation from the program's, as a task bar or Alt+Tab
# would; the other window stays until e2e_end. openbox keeps the focus on a full-screen window when
# a new one maps: ask until it moves.
e2e_deactivate() {
    local other="" pid
    e2e_activate || return 1
    e2e_spawn pid "$E2E_OUT/xmessage.log" xmessage -geometry +300+200 -name other "another window" || return 1
    for _ in $(seq 200); do
        other=$(qe_x wmctrl -l -x | awk '$3 ~ /^other\./ { print $1; exit }')
        [ -n "$other" ] && break
        sleep 0.05
    done
    [ -n "$other" ] && qe_activate_window "$other"
}

# e2e_spawn VAR CMD...: another process for the test, stopped by e2e_end.
e2e_spawn() {
    qe_spawn "$@" || return 1
    E2E_EXTRA_PIDS+=("${!1}")
}

e2e_capture_start() {
    qe_capture_start "$E2E_OUT/sound.raw" && E2E_EXTRA_PIDS+=("$QE_CAPTURE_PID")
}
e2e_capture_stop() {
    qe_capture_stop
    [ -f "$E2E_OUT/sound.raw" ] && qe_raw_to_wav "$E2E_OUT/sound.raw" "$E2E_OUT/sound.wav"
}

# e2e_music_heard [SECONDS]: the seconds of sound recorded so far (its non-zero frames: never more
# than was heard); with SECONDS, true once that much has been.
e2e_music_heard() {
    local m
    m=$(python3 "$e2e_root/tests/e2e/sound_compare.py" --music "$E2E_OUT/sound.raw")
    [ -z "${1:-}" ] && echo "$m" || awk -v m="$m" -v s="$1" 'BEGIN { exit !(m >= s) }'
}

# e2e_sound_check SECONDS: the sound recorded equals `xmtool render` ($E2E_OUT/reference.raw,
# rendered here) for its first SECONDS of music, sample for sample (sound_compare.py).
e2e_sound_check() {
    local rc
    "$E2E_XMTOOL" render -o "$E2E_OUT/reference.raw" --seconds "$(awk -v s="$1" 'BEGIN { printf "%d", s + 30 }')" \
        >/dev/null 2>&1 </dev/null
    python3 "$e2e_root/tests/e2e/sound_compare.py" "$E2E_OUT/sound.raw" "$E2E_OUT/reference.raw" "$1" >"$E2E_OUT/compare.txt" 2>&1
    rc=$?
    sed 's/^/    /' "$E2E_OUT/compare.txt"
    e2e_check '[ $rc = 0 ]' "the sound heard is not the rendered sound (compare.txt)"
}

# e2e_wait_exit SECONDS: waits for the program to end and judges how it ended (qe_verdict): E2E_EXIT
# is the program's own exit code, 124 while it still runs, or the verdict's status for a crash (1)
# or an environment fault (75, kept in E2E_ENV for e2e_end).
e2e_wait_exit() {
    qe_wait_exit "$E2E_PID" "$1" || { E2E_EXIT=124; return 1; }
    e2e_judge "$QE_EXIT"
}
e2e_judge() {
    E2E_JUDGED=1
    qe_verdict "$1" "$E2E_OUT/wine.log" "$E2E_PAUSES"
    case $? in
        75) E2E_EXIT=75 E2E_ENV="$QE_VERDICT_WHY"; e2e_log "environment fault: $QE_VERDICT_WHY" ;;
        *) [ "$QE_VERDICT" = exit ] && E2E_EXIT=$QE_VERDICT_CODE || { E2E_EXIT=1; e2e_fail "$QE_VERDICT_WHY"; } ;;
    esac
    [ "$E2E_EXIT" != 75 ]
}

# Stops what the test started; idempotent.
e2e_cleanup() {
    local p
    [ -n "$E2E_PID" ] && qe_alive "$E2E_PID" && qe_kill "$E2E_PID" 1
    for p in "${E2E_EXTRA_PIDS[@]}"; do qe_kill "$p" 1; done
    E2E_EXTRA_PIDS=() QE_CAPTURE_PID=""
    qe_session_stop
}

# e2e_left_behind: the processes the last run left (its tag finds every one, Wine's included), once
# they have had a minute to go: Wine's desktop process, when the program started it, ends a few
# seconds after the program (more on a loaded machine); the minute is only against one that never
# ends. What is still there then is killed.
e2e_left_behind() {
    local left
    for _ in $(seq 600); do
        left=$(qe_env_pids "QE_E2E_TAG=$E2E_TAG")
        [ -z "$left" ] && return 0
        sleep 0.1
    done
    echo $left
    kill -KILL $left 2>/dev/null
}

e2e_end() {
    local left own=$QE_SESSION_OWN
    if [ -n "$E2E_PID" ] && qe_alive "$E2E_PID"; then
        e2e_fail "the program is still running (its threads: $E2E_OUT/backtrace.txt)"
        e2e_backtrace "$E2E_OUT/backtrace.txt"
    elif [ -n "$E2E_PID" ] && [ -z "$E2E_JUDGED" ]; then
        # The program ended before the test waited for it (no window, no frames): judge it too.
        wait "$E2E_PID" 2>/dev/null
        e2e_judge $?
    fi
    e2e_cleanup
    left=$(e2e_left_behind)
    [ -n "$left" ] && e2e_fail "processes left behind by the program: $left"
    if [ -n "$own" ]; then
        [ -n "$QE_SESSION_STRAYS" ] && e2e_fail "the session's stop had to kill: $QE_SESSION_STRAYS"
        left=$(qe_env_pids "QE_SESSION_DIR=$QE_SESSION_LAST_DIR")
        [ -n "$left" ] && e2e_fail "processes left behind by the session: $left"
    fi
    trap - EXIT INT TERM HUP
    if [ -n "$E2E_ENV" ]; then e2e_log "environment fault (output in $E2E_OUT)"; return 75; fi
    if [ "$E2E_FAILED" = 0 ]; then e2e_log "passed"; else e2e_log "failed (output in $E2E_OUT)"; fi
    return "$E2E_FAILED"
}

# e2e_backtrace FILE: where each thread of the running program stands, kept when it outlived its
# test, so that a hang can be told from a slow machine: winedbg's view (the program's frames named
# with addr2line), and gdb's in FILE with -native before its extension, down into the Unix side
# (Wine's drivers, Mesa, PulseAudio) where winedbg stops. 60 s: winedbg reads the debug information
# of every module, seconds on a loaded machine.
e2e_backtrace() {
    timeout 60 gdb -p "$E2E_PID" -batch -ex "thread apply all bt 30" >"${1%.*}-native.${1##*.}" 2>&1 </dev/null
    timeout 60 "$WINE" winedbg --command "bt all" 2>&1 </dev/null |
        awk '/^Backtracing for thread/ { keep = /quietembers/ } keep' >"$1"
    local addrs
    addrs=$(sed -n 's/^ *=*>*[0-9]* \(0x[0-9a-f]*\) in quietembers .*/\1/p' "$1")
    [ -n "$addrs" ] || return 0
    { echo "== the program's own frames, in the order above"
      x86_64-w64-mingw32-addr2line -f -C -p -e "$QE_EXE" $addrs; } >>"$1" 2>&1
}
