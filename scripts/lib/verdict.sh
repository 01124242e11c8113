# scripts/lib/verdict.sh -- how a run under Wine ended: the one judgement that every script and
# test makes of a Windows program it ran (ctest's wine-run, the end-to-end tests, the soak,
# scripts/capture and scripts/demo).
#
#   pauses=$(qe_pauses)                 # before the run
#   ... run it with WINEDEBUG=-all,$QE_VERDICT_CHANNELS, Wine's log (standard error) in LOG
#   qe_verdict STATUS LOG "$pauses"     # sets QE_VERDICT, QE_VERDICT_CODE, QE_VERDICT_WHY
#   qe_judged NAME CMD...               # runs CMD (its status the verdict's), once more after an
#                                       # environment fault, and records each one
#
# QE_VERDICT is one of
#   exit      the program's own exit code, QE_VERDICT_CODE (0 is a pass)
#   crash     the program crashed before its orderly exit
#   wine      Wine's own side failed after the program's orderly exit: a kill (137), a SIGSEGV
#             (139) or an abort of the C library in the Unix side (134, or its message in the log)
#   nodriver  Wine started the program without a display driver
#   paused    the machine was paused while the program ran
# and QE_VERDICT_WHY says it in one line with its evidence. The status is 0 for exit code 0, 1 for
# the program's failure (another exit code, a crash), 75 for an environment fault (the last three:
# they say nothing about the program, and the run is worth one more try).
#
# The orderly exit. Both kinds of program we run end through ExitProcess: the show calls it from
# its shutdown, a test program's main returns into the C runtime's exit, which calls it. Wine's
# ExitProcess then detaches every DLL, in the reverse order of loading: ntdll is the last, and the
# module trace logs each call and its return ("MODULE_InitDLL (ADDR L"ntdll.dll",PROCESS_DETACH"
# ... "MODULE_InitDLL (ADDR,PROCESS_DETACH,...) - RETURN"). A crash or a kill of the program skips
# the detach. So once ntdll's detach has returned, the exit code is decided and nothing of the
# program runs any more: a death of the process after that line is Wine's own (seen here: wine64
# killed by its server after a second of teardown on a loaded machine, a SIGSEGV of wine64 after a
# test program had printed PASSED, "free(): corrupted unsorted chunks" in the Unix side).

# The Wine debug channels the verdict reads: winediag names a missing display driver, the module
# trace the orderly exit.
QE_VERDICT_CHANNELS=err+winediag,trace+module

# qe_judged NAME CMD...: runs CMD, a function or a program whose status is the verdict's (0 passed,
# 1 failed, 75 an environment fault), once more after an environment fault; a second in a row fails
# (1). Each fault, with the why qe_verdict wrote in CMD or in a process it started, is said on
# standard error, added to the file QE_ENV_FAULTS names as "NAME: why", and counted in QE_ENV_COUNT.
QE_ENV_COUNT=0
qe_judged() {
    local name=$1 try rc why
    shift
    why=$(mktemp /tmp/qe-why.XXXXXX)
    for try in 1 2; do
        QE_VERDICT_WHY_FILE=$why "$@"
        rc=$?
        [ "$rc" = 75 ] || break
        QE_ENV_COUNT=$((QE_ENV_COUNT + 1)) rc=1
        echo "$name: environment fault: $(cat "$why"); $([ $try = 1 ] && echo "once more" || echo "a second in a row: failed")" >&2
        [ -n "${QE_ENV_FAULTS:-}" ] && echo "$name: $(cat "$why")" >>"$QE_ENV_FAULTS"
    done
    rm -f "$why"
    return "$rc"
}

# qe_pauses: how often the kernel has logged that this virtual machine was paused and resumed as a
# copy of itself. Across such a pause the clock jumps and the sound server's stream does not.
qe_pauses() { dmesg 2>/dev/null | grep -c 'virtual machine fork'; }

# The line number in LOG after which the program had left for good: ntdll's detach returned
# (0: not seen).
qe_exit_line() {
    awk '/MODULE_InitDLL \(.*L"ntdll\.dll",PROCESS_DETACH/ { a = $0; sub(/.*MODULE_InitDLL \(/, "", a); sub(/ .*/, "", a) }
         a != "" && index($0, "MODULE_InitDLL (" a ",PROCESS_DETACH") && /RETURN/ { print NR; exit }' "$1" 2>/dev/null
}

qe_verdict() {
    local status=$1 log=$2 pauses=${3:-} exit_line abort_line line
    QE_VERDICT=exit QE_VERDICT_CODE=$status QE_VERDICT_WHY="exit code $status"
    exit_line=$(qe_exit_line "$log")
    exit_line=${exit_line:-0}
    # The C library's messages before it aborts (glibc's heap checks, a failed assertion): Wine may
    # then end the process with any status, 0 included. And Wine's report of an exception that
    # nothing handled.
    abort_line=$(grep -a -n -m 1 -E '^(free|malloc|realloc|munmap_chunk|double free|corrupted)[^ ]*\(\)|^(double free|corrupted) |: Assertion .* failed\.$' \
        "$log" 2>/dev/null | cut -d: -f1)
    line=$(grep -a -m 1 -E 'Unhandled (exception|page fault)|err:seh:' "$log" 2>/dev/null)

    if [ -n "$pauses" ] && [ "$(qe_pauses)" != "$pauses" ]; then
        QE_VERDICT=paused QE_VERDICT_WHY="the machine was paused during the run (the kernel logged a virtual machine fork); status $status"
    elif grep -a -q -e 'nodrv_CreateWindow' -e 'no driver could be loaded' "$log" 2>/dev/null; then
        QE_VERDICT=nodriver QE_VERDICT_WHY="Wine started the program without a display driver (winediag); status $status"
    elif [ -n "$line" ]; then
        QE_VERDICT=crash QE_VERDICT_WHY="crashed: $line"
    elif [ -n "$abort_line" ] && { [ "$exit_line" = 0 ] || [ "$abort_line" -lt "$exit_line" ]; }; then
        QE_VERDICT=crash QE_VERDICT_WHY="the C library aborted while the program ran: $(sed -n "${abort_line}p" "$log")"
    elif [ "$exit_line" != 0 ] && { [ -n "$abort_line" ] || [ "$status" -ge 128 ]; }; then
        QE_VERDICT=wine
        QE_VERDICT_WHY="Wine's side died (status $status${abort_line:+, $(sed -n "${abort_line}p" "$log")}) after the program's orderly exit (ntdll detached, log line $exit_line)"
    elif [ "$status" -ge 128 ] && [ "$status" != 255 ]; then
        # 124 and 255 are exit codes a program can give; a signal's status is 128 + its number.
        QE_VERDICT=crash QE_VERDICT_WHY="ended by signal $((status - 128)) before its orderly exit"
    fi
    case $QE_VERDICT in
        exit) [ "$status" = 0 ] && return 0; return 1 ;;
        crash) return 1 ;;
        *) [ -n "${QE_VERDICT_WHY_FILE:-}" ] && echo "$QE_VERDICT_WHY" >"$QE_VERDICT_WHY_FILE"; return 75 ;;
    esac
}
