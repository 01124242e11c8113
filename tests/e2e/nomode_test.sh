#!/usr/bin/env bash
# On a display that offers no 640 x 480 mode (800 x 600) no device can be made: the process ends
# by itself with exit code 0 and never presents a frame.
. "$(dirname "$0")/lib.sh"
if e2e_begin nomode 800x600; then
    e2e_start -all,trace+d3d8
    e2e_wait_exit 30
    e2e_check '[ "$E2E_EXIT" = 0 ]' "exit code $E2E_EXIT"
    e2e_check '! grep -q "d3d8_device_Present" "$E2E_OUT/wine.log"' "a frame was presented"
    e2e_check 'grep -q "EnumAdapterModes\|GetAdapterModeCount" "$E2E_OUT/wine.log"' "the display modes were never asked for"
    e2e_log "exit code $E2E_EXIT"
fi
e2e_end
