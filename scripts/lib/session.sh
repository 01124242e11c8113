# scripts/lib/session.sh -- the headless desktop the program runs in: a virtual X display, a window
# manager, a sound server with a null sink clocked in real time, and a persistent wineserver.
# Shared by scripts/test, scripts/demo, scripts/capture and the end-to-end tests.
#
# Sourced:
#   . scripts/lib/session.sh
#   qe_session_trap                  # stop the session on exit, Ctrl-C, TERM, HUP
#   qe_session [WxH]                 # joins the session this process inherited if it is WxH (default
#                                    # 640x480), else starts one of its own; exports DISPLAY,
#                                    # PULSE_SERVER, PULSE_LATENCY_MSEC, WINEPREFIX, QE_SESSION_*
#   qe_spawn VAR LOG CMD...          # a background process (of our session while it starts)
#   qe_capture_start OUT.raw / qe_capture_stop / qe_raw_to_wav IN.raw OUT.wav
#   qe_screenshot OUT.png [any] [WINDOW]  # retaken while single-coloured; "any" accepts one colour
#   qe_activate_window WINDOW        # the X window becomes the active one (keys go there)
#   qe_session_stop                  # stops a session this process started (a joined one stays):
#                                    # kills what it started, by PID, and its wineserver
# Each session this process starts has a Wine prefix of its own, copied from the template: two
# sessions never share a wineserver, whoever starts them.
# Every background process gets /dev/null for input and output and no other descriptor of ours:
# Wine's background processes inherit descriptors, and whoever reads one of our pipes ($(...),
# | tee, ctest, a CI log) would otherwise wait until they exit.

. "$(dirname "${BASH_SOURCE[0]:-$0}")/wine-env.sh"

# QE_SESSION_DIR (exported): temporary directory of the running session, ours or inherited.
QE_SESSION_OWN=""      # set while this process runs a session it started
QE_SESSION_PIDS=()     # processes our session started, oldest first
QE_CAPTURE_PID=""      # parec, while capturing
QE_SESSION_SPAWNING="" # set while qe_session_start starts the session's processes
QE_SESSION_STRAYS=""   # processes the last stop found only by their environment, and killed

# qe_spawn VAR LOG CMD...: runs CMD in the background with no descriptor of ours, standard error
# appended to LOG, in a process group of its own; stores its PID in VAR. It stays our child, so
# `wait` gives its exit status.
qe_spawn() {
    local __var=$1 __log=$2
    shift 2
    (
        qe_close_fds
        exec </dev/null >/dev/null 2>>"$__log"
        # With job control on, a background job already leads its own group (setsid would fork).
        read -r _ _ _ _ pgrp _ </proc/$BASHPID/stat
        if [ "$pgrp" = "$BASHPID" ]; then exec "$@"; else exec setsid "$@"; fi
    ) &
    printf -v "$__var" %s "$!"
    QE_PID_START[$!]=$(qe_pid_start "$!" || echo gone)
    [ -n "$QE_SESSION_SPAWNING" ] && QE_SESSION_PIDS+=("$!")
    return 0
}

# The start time of each process qe_spawn started. Once a child of ours has ended and been reaped,
# the kernel may give its number to any new process (numbers come round within minutes on a busy
# machine): a number we hold names our process only while its start time is the one noted here.
# Without this check, stopping a long-ended capture at the session's stop killed whatever process
# had its number by then.
declare -gA QE_PID_START=()

# qe_pid_start PID: its start time (field 22 of /proc/PID/stat, counted after the name in
# parentheses, which may hold spaces), "Z" for a zombie; false when there is no such process.
qe_pid_start() {
    local line state start
    { read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
    read -r state _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ start _ <<<"${line##*) }"
    [ "$state" = Z ] && echo Z || echo "$start"
}

# qe_alive PID: true while PID runs as the process we started (a zombie counts as ended).
qe_alive() {
    local start
    start=$(qe_pid_start "$1") && [ "$start" != Z ] && { [ -z "${QE_PID_START[$1]:-}" ] || [ "${QE_PID_START[$1]}" = "$start" ]; }
}

# qe_wait_exit PID SECONDS: waits for our child PID to end; sets QE_EXIT to its exit status, or
# to 124 (and leaves it running) when it is still there after SECONDS.
qe_wait_exit() {
    local deadline=$(( $(date +%s%3N) + $2 * 1000 ))
    while qe_alive "$1"; do
        [ "$(date +%s%3N)" -lt "$deadline" ] || { QE_EXIT=124; return 1; }
        sleep 0.05
    done
    wait "$1" 2>/dev/null
    QE_EXIT=$?
}

# qe_kill PID [GRACE]: TERM, then KILL after GRACE seconds (default 2); reaps our own children.
qe_kill() {
    local pid=$1 i
    qe_alive "$pid" || { wait "$pid" 2>/dev/null; return 0; }
    kill -TERM "$pid" 2>/dev/null
    for ((i = 0; i < ${2:-2} * 20; i++)); do qe_alive "$pid" || break; sleep 0.05; done
    qe_alive "$pid" && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

# qe_env_pids VAR=VALUE: the processes (other than this shell) that carry VAR=VALUE in their
# environment, one a line: whatever a session (QE_SESSION_DIR) or a program run (its tag) started,
# Wine's services included.
qe_env_pids() {
    local e pid
    for e in $(grep -lzx "$1" /proc/[0-9]*/environ 2>/dev/null); do
        pid=${e#/proc/}; pid=${pid%/environ}
        [ "$pid" = "$$" ] || [ "$pid" = "$BASHPID" ] || ! qe_alive "$pid" || echo "$pid"
    done
}

# qe_wait_for PID CMD...: waits until CMD succeeds, while PID runs; 10 s at most, for a machine
# under heavy load.
qe_wait_for() {
    local pid=$1 i
    shift
    for ((i = 0; i < 200; i++)); do
        "$@" && return 0
        qe_alive "$pid" || break
        sleep 0.05
    done
    "$@"
}

qe_session() {
    local size=${1:-640x480}
    if [ -n "${QE_SESSION_DIR:-}" ] && [ -d "$QE_SESSION_DIR" ] && [ "${QE_SESSION_SIZE:-}" = "$size" ]; then
        return 0
    fi
    qe_session_start "$size"
}

qe_session_start() {
    local size=${1:-640x480} i
    [ -n "$QE_SESSION_OWN" ] && { echo "session: already running" >&2; return 1; }
    QE_SESSION_DIR=$(mktemp -d /tmp/qe-session.XXXXXX) || return 1
    QE_SESSION_OWN=1
    QE_SESSION_SAVED="${DISPLAY-}|${WINEPREFIX-}"
    export QE_SESSION_DIR WINEPREFIX="$QE_SESSION_DIR/wineprefix"
    local d=$QE_SESSION_DIR
    QE_SESSION_SPAWNING=1

    # The X display: Xvfb picks a free number and writes it to descriptor 3.
    qe_spawn QE_XVFB_PID "$d/xvfb.log" \
        bash -c 'exec Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$2"' _ "$size" "$d/display"
    if ! qe_wait_for "$QE_XVFB_PID" grep -qs '^[0-9]' "$d/display"; then
        echo "session: Xvfb did not start:" >&2; tail -n 5 "$d/xvfb.log" >&2
        qe_session_stop; return 1
    fi
    export DISPLAY=":$(head -n 1 "$d/display" | tr -dc 0-9)"
    export QE_TEST_DISPLAY=$DISPLAY

    # A window manager: without one there are no activation messages, and each window destruction
    # waits two seconds.
    qe_spawn QE_OPENBOX_PID "$d/openbox.log" openbox --sm-disable
    qe_wait_for "$QE_OPENBOX_PID" eval "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"

    # Sound: a null sink clocked in real time. Without norewinds=1 a capture loses samples; Wine's
    # default 30 ms of buffering underruns under load, so it gets 250 ms.
    mkdir -p "$d/pulse/run"
    cat >"$d/pulse/pa.pa" <<EOF
load-module module-null-sink sink_name=cap format=s16le rate=44100 channels=2 norewinds=1
load-module module-native-protocol-unix auth-anonymous=1 socket=$d/pulse/pulse.sock
set-default-sink cap
EOF
    HOME="$d/pulse" XDG_RUNTIME_DIR="$d/pulse/run" qe_spawn QE_PULSE_PID "$d/pulse.log" \
        pulseaudio -n -F "$d/pulse/pa.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        --disallow-exit --disable-shm=yes
    export PULSE_SERVER="unix:$d/pulse/pulse.sock"
    export PULSE_LATENCY_MSEC=250
    # pactl itself may spend seconds looking for other servers: wait for the socket first.
    if ! qe_wait_for "$QE_PULSE_PID" eval '[ -S "$d/pulse/pulse.sock" ] && pactl info </dev/null >/dev/null 2>&1'; then
        echo "session: PulseAudio did not start:" >&2; tail -n 5 "$d/pulse.log" >&2
        qe_session_stop; return 1
    fi

    # Wine: a fresh persistent wineserver that inherits this session's environment, so the
    # services and the desktop process it starts talk to this display and this sound server.
    export QE_SESSION_SIZE=$size
    QE_SESSION_SPAWNING=""
    qe_session_wine_up || { echo "session: no Wine prefix" >&2; qe_session_stop; return 1; }
    return 0
}

# A fresh persistent wineserver that inherits the session's environment, so that the services and
# the desktop process it starts talk to this display and this sound server. The desktop process
# starts now rather than with the first program's first window: it would inherit that program's
# environment, and the first window would appear a second later.
qe_session_wine_up() {
    qe_wine_down
    qe_wine_up || return 1
    ( qe_close_fds; exec $WINE rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 )
    qe_wait_display_driver
}

# qe_wait_display_driver: waits until a new Wine process gets the display driver. Wine's desktop
# process names the driver a moment after the desktop window exists; a process that starts before
# then has no display for the whole of its life (it logs "no driver could be loaded" on the
# winediag channel), and the program, finding no device, ends at once with exit code 0. So nothing
# of ours starts before a probe process has made a window: build/win64/qe_display_ready.exe exits
# 0 when its CreateWindow works and 1 when it has no driver (build/win32's, for 32-bit Wine).
# Without the probe (no Windows build yet) the desktop's driver key in the registry is the sign. Each try takes well
# under a second with the persistent wineserver, some ten seconds for 32-bit Wine under qemu; the
# limit is only against a hang.
qe_wait_display_driver() {
    local probe="$qe_root/build/win64/qe_display_ready.exe" until
    [ "$WINE" = "$WINE32" ] && probe="$qe_root/build/win32/qe_display_ready.exe"
    until=$(( $(date +%s) + 120 ))
    while [ "$(date +%s)" -lt "$until" ]; do
        if [ -f "$probe" ]; then
            ( qe_close_fds; exec $WINE "$probe" </dev/null >/dev/null 2>&1 ) && return 0
        else
            ( qe_close_fds; exec $WINE reg query 'HKLM\System\CurrentControlSet\Control\Video' /s </dev/null 2>/dev/null ) |
                grep -qi 'GraphicsDriver.*x11' && return 0
        fi
        sleep 0.1
    done
    echo "session: Wine's desktop never named its display driver" >&2
    return 1
}

# qe_capture_start OUT.raw: records the null sink's monitor (44100 Hz, s16le, stereo) until
# qe_capture_stop. Start it before the program so the first sample is captured.
qe_capture_start() {
    local out=$1 i
    [ -n "${QE_SESSION_DIR:-}" ] || return 1
    qe_spawn QE_CAPTURE_PID "$QE_SESSION_DIR/parec.log" parec --latency-msec=20 -d cap.monitor \
        --format=s16le --rate=44100 --channels=2 --raw "$out"
    qe_wait_for "$QE_CAPTURE_PID" eval '[ -n "$(pactl list short source-outputs </dev/null 2>/dev/null)" ]' && return 0
    echo "session: parec did not start" >&2
    return 1
}

qe_capture_stop() {
    [ -n "$QE_CAPTURE_PID" ] || return 0
    # SIGINT lets parec write out what it holds.
    kill -INT "$QE_CAPTURE_PID" 2>/dev/null
    qe_wait_exit "$QE_CAPTURE_PID" 3 || qe_kill "$QE_CAPTURE_PID"
    QE_CAPTURE_PID=""
}

qe_raw_to_wav() {
    sox -t raw -r 44100 -e signed-integer -b 16 -c 2 -L "$1" "$2"
}

# qe_screenshot OUT.png [any] [WINDOW]: the whole display (or one window) as PNG. One capture in
# about thirty comes back all black, so a single-coloured picture is retaken (once with "any", which
# then accepts it). Returns 0 for a picture of more than one colour, 2 for a single-coloured one,
# 1 on failure.
qe_screenshot() {
    local out=$1 try tries=5 colours=0 what=(-root)
    [ -n "${3:-}" ] && what=(-id "$3")
    [ "${2:-}" = any ] && tries=2
    for ((try = 0; try < tries; try++)); do
        xwd "${what[@]}" -silent 2>/dev/null </dev/null | convert xwd:- "png:$out" 2>/dev/null &&
            colours=$(convert "$out" -format %k info: 2>/dev/null </dev/null) && [ "$colours" -gt 1 ] && return 0
        sleep 0.2
    done
    [ "${colours:-0}" = 1 ] && { [ "${2:-}" = any ] && return 0; return 2; }
    return 1
}

# qe_x CMD ARGS...: an X query (xdotool, xwininfo, xprop, wmctrl) that can race with a window going
# away: it then prints an X error such as BadWindow, and its answer may be partial. Such a query is
# asked again, up to five times, until it answers without an error; its output and status are those
# of the last try. A query that finds nothing (xdotool search's status 1) is an answer, not an error.
qe_x() {
    local try out rc err
    err=$(mktemp)
    for try in 1 2 3 4 5; do
        out=$("$@" 2>"$err" </dev/null)
        rc=$?
        [ -s "$err" ] || break
        sleep 0.1
    done
    rm -f "$err"
    [ -n "$out" ] && printf '%s\n' "$out"
    return $rc
}

# qe_activate_window WINDOW: makes WINDOW the active window with the input focus (keys go to the
# focus), asking again until it is: openbox does not always activate a full-screen window that maps
# while the display mode changes, and at times marks it active while the focus stays elsewhere
# (Wine's own request for the focus can come with an outdated time); then only windowfocus helps.
qe_activate_window() {
    local w try
    w=$(printf '%d' "$1" 2>/dev/null) || return 1
    for ((try = 0; try < 30; try++)); do
        [ "$(qe_x xdotool getactivewindow)" = "$w" ] && [ "$(qe_x xdotool getwindowfocus)" = "$w" ] && return 0
        if ((try % 2)); then xdotool windowfocus "$1"; else wmctrl -i -a "$1" || xdotool windowactivate "$1"; fi </dev/null 2>/dev/null
        sleep 0.1
    done
    return 1
}

qe_session_stop() {
    [ -n "$QE_SESSION_OWN" ] || return 0
    local i pid
    QE_CAPTURE_PID=""
    # Wine first, while its display still exists: each server takes every Windows process with it
    # (the 32-bit tests' prefix is the session's too: scripts/lib/wine-run).
    for pid in "$WINEPREFIX" "$QE_SESSION_DIR/wine32prefix"; do
        [ -d "$pid" ] || continue
        WINEPREFIX=$pid $WINESERVER -k 2>/dev/null </dev/null
        WINEPREFIX=$pid timeout 10 $WINESERVER -w 2>/dev/null </dev/null
    done
    for ((i = ${#QE_SESSION_PIDS[@]} - 1; i >= 0; i--)); do qe_kill "${QE_SESSION_PIDS[$i]}"; done
    # Anything that still carries the session's environment was started by it (by us or by Wine);
    # QE_SESSION_STRAYS names what had to go this way.
    QE_SESSION_STRAYS=""
    for pid in $(qe_env_pids "QE_SESSION_DIR=$QE_SESSION_DIR"); do
        QE_SESSION_STRAYS="$QE_SESSION_STRAYS $pid:$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-60)"
        kill -KILL "$pid" 2>/dev/null
    done
    rm -rf "$QE_SESSION_DIR"
    QE_SESSION_LAST_DIR=$QE_SESSION_DIR
    QE_SESSION_OWN="" QE_SESSION_PIDS=() QE_SESSION_SPAWNING=""
    unset QE_SESSION_DIR QE_TEST_DISPLAY PULSE_SERVER PULSE_LATENCY_MSEC QE_SESSION_SIZE DISPLAY WINEPREFIX
    [ -n "${QE_SESSION_SAVED%%|*}" ] && export DISPLAY=${QE_SESSION_SAVED%%|*}
    export WINEPREFIX=${QE_SESSION_SAVED#*|}
    return 0
}

qe_session_trap() {
    trap 'qe_session_stop' EXIT
    trap 'qe_session_stop; trap - INT; kill -INT $$' INT
    trap 'qe_session_stop; exit 143' TERM
    trap 'qe_session_stop; exit 129' HUP
}
