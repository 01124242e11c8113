# tests/e2e/lib.sh -- helpers for end-to-end tests: the real program under Wine in the headless
# session, driven and watched from outside (window, keys, screenshots, captured sound, exit code).
#
#   . "$(dirname "$0")/lib.sh"
#   e2e_begin NAME [WxH]        # a session: the one scripts/test shares if its size fits, else our own
#   e2e_start [WINEDEBUG]       # starts the program ($QE_EXE, default build/win64/quietembers.exe)
#   e2e_wait_window [SECONDS]   # waits for the window titled "Quietembers"; sets E2E_WINDOW
#   e2e_geometry                # sets E2E_X E2E_Y E2E_W E2E_H of E2E_WINDOW
#   e2e_wait_frames [SECONDS]   # waits until Wine reports presented frames; sets E2E_FPS
#   e2e_wait_show [SECONDS]     # waits until the title card is over and the composition shows
#   e2e_screenshot NAME [any]   # $E2E_OUT/NAME.png
#   e2e_activate                # makes the program's window the active one
#   e2e_key KEY                 # activates it and sends KEY, e.g. Escape
#   e2e_capture_start / e2e_capture_stop   # $E2E_OUT/sound.raw, then sound.wav
#   e2e_wait_exit SECONDS       # sets E2E_EXIT (124: still running) and E2E_EXIT_MS
#   e2e_wait_until SECONDS CMD  # waits until CMD succeeds
#   e2e_check COND MESSAGE...   # records a failure when the shell test COND (a string) is false
#   e2e_end                     # stops what the test started, checks nothing is left; exit status
#
# Output (screenshots, sound, the program's Wine log) stays in build/e2e/NAME/ for inspection.

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# A session shared by scripts/test arrives in the environment; note it before session.sh resets it.
e2e_shared_dir=${QE_SESSION_DIR:-}
e2e_shared_size=${QE_SESSION_SIZE:-}
e2e_shared_display=${DISPLAY:-}
e2e_shared_pulse=${PULSE_SERVER:-}
. "$e2e_root/scripts/lib/session.sh"

: "${QE_EXE:=$e2e_root/build/win64/quietembers.exe}"
E2E_NAME=""
E2E_OUT=""
E2E_OWN_SESSION=0
E2E_FAILED=0
E2E_PID=""
E2E_TAG=""
E2E_EXTRA_PIDS=()

e2e_t0=$(date +%s%3N)
e2e_log() { printf '[%s %5.1fs] %s\n' "$E2E_NAME" "$(( $(date +%s%3N) - e2e_t0 ))e-3" "$*"; }

e2e_fail() {
    e2e_log "FAIL: $*"
    E2E_FAILED=1
}

e2e_check() {
    local cond=$1
    shift
    eval "$cond" || e2e_fail "$* ($cond)"
}

e2e_ms() { echo $(( $(date +%s%N) / 1000000 )); }

e2e_begin() {
    E2E_NAME=$1
    local size=${2:-640x480}
    E2E_OUT="$e2e_root/build/e2e/$E2E_NAME"
    rm -rf "$E2E_OUT"
    mkdir -p "$E2E_OUT"
    trap 'e2e_cleanup' EXIT
    trap 'e2e_cleanup; trap - INT; kill -INT $$' INT
    trap 'e2e_cleanup; exit 143' TERM HUP
    if [ ! -f "$QE_EXE" ]; then
        e2e_fail "no program at $QE_EXE (build the win64 preset)"
        return 1
    fi
    if [ -n "$e2e_shared_dir" ] && [ "$e2e_shared_size" = "$size" ] && [ -d "$e2e_shared_dir" ]; then
        export QE_SESSION_DIR=$e2e_shared_dir DISPLAY=$e2e_shared_display PULSE_SERVER=$e2e_shared_pulse
        export PULSE_LATENCY_MSEC=250
    else
        E2E_OWN_SESSION=1
        qe_session_start "$size" || { e2e_fail "the headless session did not start"; return 1; }
        e2e_log "session $size on display $DISPLAY"
    fi
    return 0
}

# e2e_start [WINEDEBUG]: the program, with its Wine log in $E2E_OUT/wine.log. A tag in its
# environment finds every process it leaves behind.
e2e_start() {
    E2E_TAG="$E2E_NAME-$$-$RANDOM"
    # winediag errors tell a program that Wine gave no display driver (see e2e_harness_fault).
    # The module trace records the DLLs' detach at the program's exit (see e2e_program_status).
    # An abort of the C library inside Wine's Unix side leaves abort-PID-TID.txt in $E2E_OUT (the
    # native stack; see abort_stack.c) and ends the program with status 134. QE_NO_ABORT_STACK=1
    # leaves it out; a library already preloaded by the caller (a heap checker, say) stays.
    local preload=${LD_PRELOAD:-}
    [ -z "${QE_NO_ABORT_STACK:-}" ] && e2e_abort_stack_lib && preload="${preload:+$preload:}$E2E_ABORT_LIB"
    QE_E2E_TAG=$E2E_TAG WINEDEBUG=${1:--all},err+winediag,trace+module \
        LD_PRELOAD=$preload QE_ABORT_DIR=$E2E_OUT \
        qe_spawn E2E_PID "$E2E_OUT/wine.log" "$WINE64" "$QE_EXE"
    E2E_START_MS=$(e2e_ms)
}

# e2e_abort_stack_lib: E2E_ABORT_LIB, abort_stack.c built once (again when the source is newer).
# Without a C compiler there is none, and runs go on without it.
E2E_ABORT_LIB="$e2e_root/build/e2e/abort_stack.so"
e2e_abort_stack_lib() {
    local src="$e2e_root/tests/e2e/abort_stack.c" tmp
    [ -f "$E2E_ABORT_LIB" ] && [ "$E2E_ABORT_LIB" -nt "$src" ] && return 0
    mkdir -p "${E2E_ABORT_LIB%/*}"
    tmp="$E2E_ABORT_LIB.$$.$RANDOM"
    # Built aside and renamed: tests that run side by side may build it at the same time.
    gcc -O1 -g -Wall -shared -fPIC -o "$tmp" "$src" -ldl </dev/null >/dev/null 2>&1 &&
        mv -f "$tmp" "$E2E_ABORT_LIB" && return 0
    rm -f "$tmp"
    return 1
}

# E2E_WINDOW_AFTER: when the last look that did not find the window began (it appeared later).
e2e_wait_window() {
    local until=$(( $(e2e_ms) + ${1:-30} * 1000 )) w looked
    E2E_WINDOW="" E2E_WINDOW_AFTER=$(e2e_ms)
    while [ "$(e2e_ms)" -lt "$until" ]; do
        looked=$(e2e_ms)
        w=$(qe_x xdotool search --onlyvisible --name '^Quietembers$' | head -n 1)
        [ -n "$w" ] && { E2E_WINDOW=$w; return 0; }
        E2E_WINDOW_AFTER=$looked
        qe_alive "$E2E_PID" || return 1
        sleep 0.1
    done
    return 1
}

e2e_geometry() {
    local line
    E2E_X="" E2E_Y="" E2E_W="" E2E_H=""
    line=$(qe_x xwininfo -id "$E2E_WINDOW") || return 1
    E2E_X=$(echo "$line" | sed -n 's/.*Absolute upper-left X: *\(-*[0-9]*\).*/\1/p')
    E2E_Y=$(echo "$line" | sed -n 's/.*Absolute upper-left Y: *\(-*[0-9]*\).*/\1/p')
    E2E_W=$(echo "$line" | sed -n 's/.*Width: *\([0-9]*\).*/\1/p')
    E2E_H=$(echo "$line" | sed -n 's/.*Height: *\([0-9]*\).*/\1/p')
}

# Wine's "fps" channel reports the presented frames about every second and a half.
e2e_wait_frames() {
    local until=$(( $(e2e_ms) + ${1:-20} * 1000 ))
    E2E_FPS=""
    while [ "$(e2e_ms)" -lt "$until" ]; do
        # The first report counts from the device's creation and reads 0.
        E2E_FPS=$(sed -n 's/.*trace:fps:.*present.* @ approx \([0-9.]*\)fps.*/\1/p' "$E2E_OUT/wine.log" |
            grep -v '^0*\.*0*$' | tail -n 1)
        [ -n "$E2E_FPS" ] && return 0
        qe_alive "$E2E_PID" || return 1
        sleep 0.2
    done
    return 1
}

# e2e_wait_show [SECONDS]: waits until the title card is over and the composition is drawn: the
# upper colour line lights row 59 while everything above it is black (the title card lights its
# whole surround). Messages sent before then reach the title card's own loop.
e2e_show_drawn() {
    local shot="$E2E_OUT/wait_show.png"
    qe_screenshot "$shot" any && [ "$(e2e_region_max "$shot" 640x1+0+59)" -ge 128 ] &&
        [ "$(e2e_region_max "$shot" 640x58+0+0)" -le 8 ]
}
e2e_wait_show() { e2e_wait_until "${1:-30}" e2e_show_drawn; }

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

# e2e_wait_ms_since T MS: returns once MS milliseconds have passed since the moment T (e2e_ms). For
# measured intervals, whose length the test reads from the clock afterwards.
e2e_wait_ms_since() {
    while [ $(( $(e2e_ms) - $1 )) -lt "$2" ]; do sleep 0.05; done
}

# e2e_region_max IMAGE WxH+X+Y: the brightest channel value (0..255) inside the region.
e2e_region_max() {
    local v
    v=$(convert "$1" -crop "$2" +repage -format '%[fx:int(255*max(maxima.r,max(maxima.g,maxima.b)))]' info: 2>/dev/null)
    echo "${v:-0}"
}

e2e_screenshot() { qe_screenshot "$E2E_OUT/$1.png" "${2:-}"; }

# Gives the program's window the focus.
e2e_activate() { qe_activate_window "$E2E_WINDOW"; }

e2e_key() {
    e2e_activate
    xdotool key "$1" </dev/null >/dev/null 2>&1
}

# e2e_spawn VAR CMD...: another process for the test (say, a window that takes the focus).
e2e_spawn() {
    qe_spawn "$@" || return 1
    E2E_EXTRA_PIDS+=("${!1}")
}

e2e_capture_start() {
    qe_capture_start "$E2E_OUT/sound.raw"
    [ -n "$QE_CAPTURE_PID" ] && E2E_EXTRA_PIDS+=("$QE_CAPTURE_PID")
    [ -n "$QE_CAPTURE_PID" ]
}

e2e_capture_stop() {
    qe_capture_stop
    [ -f "$E2E_OUT/sound.raw" ] && qe_raw_to_wav "$E2E_OUT/sound.raw" "$E2E_OUT/sound.wav"
}

e2e_wait_exit() {
    local t0
    t0=$(e2e_ms)
    qe_wait_exit "$E2E_PID" "$1"
    E2E_EXIT=$(e2e_program_status "$QE_EXIT")
    E2E_EXIT_MS=$(( $(e2e_ms) - t0 ))
    [ "$E2E_EXIT" != 124 ]
}

# e2e_program_status STATUS: the exit status the program itself gave. On a loaded machine (load
# averages of 10 to 15) Wine's server sometimes kills a process whose exit is under way but has not
# finished within about a second: status 137. The program has a single way out, ExitProcess(0),
# which detaches every DLL, ntdll's last; a crash or a kill skips the detach. So a 137 after
# ntdll's detach returned (the module trace in the Wine log) is the program's own exit code 0,
# taken away by Wine afterwards; any other status stands as it is.
e2e_program_status() {
    if [ "$1" = 137 ] && awk '/MODULE_InitDLL \(.*L"ntdll\.dll",PROCESS_DETACH/ { a = $0; sub(/.*MODULE_InitDLL \(/, "", a); sub(/ .*/, "", a) }
                            a != "" && index($0, "MODULE_InitDLL (" a ",PROCESS_DETACH") && /RETURN/ { found = 1 }
                            END { exit !found }' "$E2E_OUT/wine.log" 2>/dev/null; then
        e2e_log "Wine killed the program (137) after its orderly exit had detached ntdll: exit code 0" >&2
        echo 0
    else
        echo "$1"
    fi
}

# Stops what the test started; idempotent. Leftovers are looked for by the tag, then by session.
e2e_cleanup() {
    local p
    [ -n "$E2E_PID" ] && qe_alive "$E2E_PID" && qe_kill "$E2E_PID" 1
    for p in "${E2E_EXTRA_PIDS[@]}"; do qe_kill "$p" 1; done
    E2E_EXTRA_PIDS=()
    QE_CAPTURE_PID=""
    if [ "$E2E_OWN_SESSION" = 1 ]; then
        qe_session_stop
        E2E_OWN_SESSION=2
        if [ -n "$e2e_shared_dir" ] && [ -d "$e2e_shared_dir" ]; then
            # Our session took the prefix's wineserver: give the shared session a new one.
            export QE_SESSION_DIR=$e2e_shared_dir DISPLAY=$e2e_shared_display PULSE_SERVER=$e2e_shared_pulse
            export PULSE_LATENCY_MSEC=250 QE_TEST_DISPLAY=$e2e_shared_display
            qe_session_wine_up
        fi
    fi
}

e2e_tagged() {
    [ -n "$E2E_TAG" ] || return 0
    local e pid
    for e in $(grep -lzx "QE_E2E_TAG=$E2E_TAG" /proc/[0-9]*/environ 2>/dev/null); do
        pid=${e#/proc/}; pid=${pid%/environ}
        qe_alive "$pid" && echo "$pid"
    done
}

# e2e_harness_fault: true (and says so) when Wine started the program before its desktop had named
# the display driver. The program then has no display and ends at once with exit code 0, as it
# should on a machine without one: that run says nothing about the program, and is the harness's
# failure. The session waits for the driver before anything starts (qe_wait_display_driver).
e2e_harness_fault() {
    [ -f "$E2E_OUT/wine.log" ] && grep -q "no driver could be loaded" "$E2E_OUT/wine.log" || return 1
    e2e_log "HARNESS FAULT: Wine gave the program no display driver (not a program fault)"
    return 0
}

e2e_end() {
    local left
    e2e_harness_fault && e2e_fail "the harness started the program without a display driver"
    if [ -n "$E2E_PID" ] && qe_alive "$E2E_PID"; then
        e2e_fail "the program is still running (its threads: $E2E_OUT/backtrace.txt)"
        e2e_backtrace "$E2E_OUT/backtrace.txt"
    fi
    e2e_cleanup
    # Wine's desktop process, when the program started it, ends a few seconds after the program.
    for _ in $(seq 100); do
        left=$(e2e_tagged)
        [ -z "$left" ] && break
        sleep 0.1
    done
    [ -n "$left" ] && e2e_fail "processes left behind by the program: $left"
    if [ "$E2E_OWN_SESSION" = 2 ]; then
        [ -n "$QE_SESSION_STRAYS" ] && e2e_fail "the session's stop had to kill: $QE_SESSION_STRAYS"
        left=$(qe_session_leftovers "$QE_SESSION_LAST_DIR")
        [ -n "$left" ] && e2e_fail "processes left behind by the session: $left"
    fi
    trap - EXIT INT TERM HUP
    if [ "$E2E_FAILED" = 0 ]; then e2e_log "passed"; else e2e_log "failed (output in $E2E_OUT)"; fi
    return "$E2E_FAILED"
}

# e2e_backtrace FILE: where each thread of the running program stands, as winedbg sees it; kept
# when the program outlived its test, so that a hang can be told from a slow machine afterwards.
# winedbg walks every process of the prefix; only the program's threads are kept. 60 s: winedbg
# reads debug information of every module, which takes seconds on a loaded machine. A thread
# inside a call to the Unix side (Wine's drivers, Mesa, PulseAudio) ends there for winedbg; gdb
# shows the rest, in FILE with -native before its extension.
e2e_backtrace() {
    timeout 60 gdb -p "$E2E_PID" -batch -ex "thread apply all bt 30" >"${1%.*}-native.${1##*.}" 2>&1 </dev/null
    timeout 60 "$WINE64" winedbg --command "bt all" 2>&1 </dev/null |
        awk '/^Backtracing for thread/ { keep = /quietembers/ } keep' >"$1"
    # winedbg reads no symbols from our build; its debug information names the program's frames.
    local addrs
    addrs=$(sed -n 's/^ *=*>*[0-9]* \(0x[0-9a-f]*\) in quietembers .*/\1/p' "$1")
    [ -n "$addrs" ] || return 0
    { echo "== the program's own frames, in the order above"
      x86_64-w64-mingw32-addr2line -f -C -p -e "$QE_EXE" $addrs; } >>"$1" 2>&1
}

# ---- the probe build (build/<preset>/quietembers-probe.exe) ---------------------------------
# e2e_probe_start [WINEDEBUG]: starts the probe build with its exit report at $E2E_PROBE_OUT.
e2e_probe_start() {
    local exe=$QE_EXE
    E2E_PROBE_OUT="$E2E_OUT/probe-$((++e2e_probe_runs)).txt"
    rm -f "$E2E_PROBE_OUT"
    QE_EXE=${QE_PROBE_EXE:-$e2e_root/build/win64/quietembers-probe.exe}
    QE_PROBE_OUT=$E2E_PROBE_OUT e2e_start "$@"
    QE_EXE=$exe
}
e2e_probe_runs=0

# e2e_probe KEY: a value of the probe's exit report (empty when missing).
e2e_probe() {
    sed -n "s/^$1=//p" "$E2E_PROBE_OUT" 2>/dev/null | head -n 1
}

# e2e_deactivate: another window takes the activation from the program's, as a task bar or Alt+Tab
# would; the other window stays until e2e_end.
e2e_deactivate() {
    local other="" pid
    e2e_activate || return 1
    e2e_spawn pid "$E2E_OUT/xmessage.log" xmessage -geometry +300+200 -name other "another window" || return 1
    # The window manager lists the other window once it manages it (5 s: a loaded machine).
    for _ in $(seq 100); do
        other=$(qe_x wmctrl -l -x | awk '$3 ~ /^other\./ { print $1; exit }')
        [ -n "$other" ] && break
        sleep 0.05
    done
    [ -n "$other" ] || return 1
    # openbox keeps the focus on a full-screen window when a new one maps: ask until it moves.
    qe_activate_window "$other"
}
