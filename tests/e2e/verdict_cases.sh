#!/usr/bin/env bash
# scripts/lib/verdict.sh on made-up Wine logs: each way a run can end, and whose fault it is.
. "$(dirname "$0")/../../scripts/lib/verdict.sh"
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
run='0024:trace:module:MODULE_InitDLL (0000000170000000 L"ntdll.dll",PROCESS_ATTACH,0000000000000000) - CALL'
detach='0024:trace:module:MODULE_InitDLL (0000000170000000 L"ntdll.dll",PROCESS_DETACH,0000000000000001) - CALL;0024:trace:module:MODULE_InitDLL (0000000170000000,PROCESS_DETACH,0000000000000001) - RETURN 1'
abort='free(): corrupted unsorted chunks'
p=$(qe_pauses)
# name | status | log lines | pauses at the start (- the current count) | verdict | status
cases=(
    "passed|0|$run;$detach|-|exit|0"
    "failed|1|$run;$detach|-|exit|1"
    "killed after the exit|137|$run;$detach|-|wine|75"
    "SIGSEGV after the exit|139|$run;$detach|-|wine|75"
    "abort after the exit|134|$run;$detach;$abort|-|wine|75"
    "abort message after the exit, status 0|0|$run;$detach;$abort|-|wine|75"
    "killed before the exit|137|$run|-|crash|1"
    "abort while running|134|$run;$abort;$detach|-|crash|1"
    "abort while running, status 0|0|$run;$abort|-|crash|1"
    "assertion of a driver while running, status 0|0|$run;wine64: ../src/gallium/foo.c:12: bar: Assertion \`x' failed.|-|crash|1"
    "unhandled exception|5|$run;wine: Unhandled page fault on read access to 0000000000000000|-|crash|1"
    "no display driver|0|0124:err:winediag:nodrv_CreateWindow Application tried to create a window, but no driver could be loaded.|-|nodriver|75"
    "machine paused|137|$run|$((p - 1))|paused|75"
    "exit code 124 of the program|124|$run;$detach|-|exit|1"
)
failed=0
for c in "${cases[@]}"; do
    IFS='|' read -r name status lines pauses want want_rc <<<"$c"
    tr ';' '\n' <<<"$lines" >"$t/log"
    [ "$pauses" = - ] && pauses=$p
    qe_verdict "$status" "$t/log" "$pauses"
    rc=$?
    if [ "$QE_VERDICT" != "$want" ] || [ "$rc" != "$want_rc" ]; then
        echo "FAIL $name: $QE_VERDICT/$rc, not $want/$want_rc ($QE_VERDICT_WHY)"
        failed=$((failed + 1))
    fi
done
# qe_judged: an environment fault is recorded and run once more; a second in a row fails.
flaky() { n=$((n + 1)); [ "$n" -gt "$1" ] || { echo "why $n" >"$QE_VERDICT_WHY_FILE"; return 75; }; }
QE_ENV_FAULTS=$t/faults n=0
qe_judged one flaky 1 2>/dev/null && [ "$n" = 2 ] && [ "$(cat "$t/faults")" = "one: why 1" ] || { echo "FAIL qe_judged: a fault, then a pass"; failed=$((failed + 1)); }
n=0
! qe_judged two flaky 2 2>/dev/null && [ "$n" = 2 ] && [ "$QE_ENV_COUNT" = 3 ] || { echo "FAIL qe_judged: two faults in a row"; failed=$((failed + 1)); }
echo "$failed of ${#cases[@]} cases failed"
[ "$failed" = 0 ]
