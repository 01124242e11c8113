// tools/capture/exit_report.h -- a report written as the process ends, for the builds that watch
// the program (the capture build, the probe build of the tests). The program ends only through
// ExitProcess, and its calls load their target from the import slot __imp_ExitProcess
// (__imp__ExitProcess@4 on i686); the linker's --wrap of that symbol makes them load the slot
// below, which calls ExitReport and then the real ExitProcess. The asm labels are the exact
// symbols: the linker wraps the name without i686's leading underscore and puts that underscore
// back in front of __wrap_ and __real_. Include this in one source of the executable, which
// defines ExitReport.
#pragma once
#include <windows.h>

void ExitReport(UINT code);  // the executable's own: what it writes before the process ends

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
