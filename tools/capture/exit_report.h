// tools/capture/exit_report.h -- ExitReport(code) before the process ends, in the builds that watch
// the program (capture, probe): its ExitProcess calls load their target from the import slot
// __imp_ExitProcess (__imp__ExitProcess@4 on i686), which the linker's --wrap replaces with the
// slot below. The asm labels are the exact symbols: the linker wraps the name without i686's
// leading underscore and puts it back in front of __wrap_ and __real_. Include in one source.
#pragma once
#include <windows.h>

void ExitReport(UINT code);  // the executable's own

#if defined(__x86_64__)
#define QE_WRAPPED_EXIT(prefix) prefix "__imp_ExitProcess"
#else
#define QE_WRAPPED_EXIT(prefix) "_" prefix "_imp__ExitProcess@4"
#endif
typedef VOID(WINAPI* ExitProcessFn)(UINT);
extern "C" ExitProcessFn const qe_real_exit __asm__(QE_WRAPPED_EXIT("__real_"));

static VOID WINAPI ReportingExitProcess(UINT code)
{
    ExitReport(code);
    qe_real_exit(code);
}

extern "C" ExitProcessFn const qe_exit_slot __asm__(QE_WRAPPED_EXIT("__wrap_")) = ReportingExitProcess;
