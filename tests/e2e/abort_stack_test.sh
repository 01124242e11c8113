#!/usr/bin/env bash
# An abort of the C library inside a Wine process (free() finding its heap damaged, say) must not
# pass unseen: Wine alone may end such a process with status 0. abort_stack.so, preloaded by
# e2e_start, keeps SIGABRT from Wine, writes the aborting thread's native stack and ends the
# process with status 134. Checked on a native program that damages its heap, whose stack is
# known, and on the program under Wine, sent SIGABRT while it runs.
. "$(dirname "$0")/lib.sh"
if e2e_begin abort_stack; then
    if ! e2e_abort_stack_lib; then
        e2e_fail "tests/e2e/abort_stack.c did not build"
    else
        # Writes 40 bytes past a block, into the header of the next one; free() then aborts.
        printf '%s\n' '#include <stdlib.h>' '#include <string.h>' \
            'int main(void) { char* a = malloc(100); char* b = malloc(100); memset(a, 0x41, 140);' \
            '    free(b); free(a); return 0; }' >"$E2E_OUT/damage.c"
        if ! gcc -O0 -w -o "$E2E_OUT/damage" "$E2E_OUT/damage.c"; then
            e2e_fail "the native heap damage program did not build"
        else
            QE_ABORT_DIR=$E2E_OUT LD_PRELOAD=$E2E_ABORT_LIB "$E2E_OUT/damage" 2>"$E2E_OUT/damage.log"
            rc=$?
            e2e_check '[ "$rc" = 134 ]' "the native program ended with $rc, not 134"
            f=$(ls "$E2E_OUT"/abort-*.txt 2>/dev/null | head -n 1)
            e2e_check '[ -n "$f" ]' "no abort-*.txt from the native program"
            # From the handler down through abort() and free() to the program's main.
            e2e_check 'sed -n "/^---- stack/,\$p" "$f" | grep -q " abort+0x"' "no abort() on the native stack ($f)"
            e2e_check 'sed -n "/^---- stack/,\$p" "$f" | grep -q "free+0x"' "no free() on the native stack ($f)"
            e2e_check 'sed -n "/^---- stack/,\$p" "$f" | grep -q "in $E2E_OUT/damage\$"' "the walk did not reach the program ($f)"
            rm -f "$E2E_OUT"/abort-*.txt
        fi

        e2e_start -all,trace+fps
        if e2e_wait_window 30 && e2e_wait_frames 20; then
            kill -ABRT "$E2E_PID"
            qe_wait_exit "$E2E_PID" 60
            E2E_JUDGED=1
            e2e_check '[ "$QE_EXIT" = 134 ]' "the program under Wine ended with $QE_EXIT after SIGABRT, not 134"
            qe_verdict "$QE_EXIT" "$E2E_OUT/wine.log"
            e2e_check '[ "$QE_VERDICT" = crash ]' "the verdict on it is not a crash: $QE_VERDICT_WHY"
            f=$(ls "$E2E_OUT"/abort-*.txt 2>/dev/null | head -n 1)
            e2e_check '[ -n "$f" ]' "no abort-*.txt from the program under Wine"
            # Whichever thread took the signal, the walk starts in the handler.
            e2e_check 'grep -q "^#0 .*abort_stack.so" "$f"' "the stack under Wine does not start in the handler ($f)"
            e2e_log "under Wine: $(grep -c '^#' "$f") frames in ${f##*/}"
        else
            e2e_fail "no window or no frames"
        fi
    fi
fi
e2e_end
