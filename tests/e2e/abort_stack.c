/* tests/e2e/abort_stack.c -- preloaded into the Wine processes of an end-to-end run (lib.sh,
 * e2e_start): when the C library aborts inside Wine's Unix side (a damaged heap found by free(),
 * an assertion of a driver), it writes the aborting thread's native stack and the process's
 * mappings to $QE_ABORT_DIR/abort-PID-TID.txt and ends the process with status 134.
 *
 * Wine would take SIGABRT itself and try to raise it as an exception on the Windows side, where
 * nothing can unwind the Unix frames, and the process may then end with status 0: such a crash
 * was seen only as a line in Wine's log. So SIGABRT stays ours: Wine's own sigaction() for it is
 * answered as if it had been done.
 *
 * The mappings come first and every frame is written as it is found: the unwinder may fault on
 * frames it cannot read, and whatever was written by then stays. Each frame is its address and,
 * where the dynamic loader knows it, the nearest exported symbol and the object; the offset
 * within the object (the address less its mapping, from the list above) is what addr2line takes.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unwind.h>

typedef int (*sigaction_fn)(int, const struct sigaction*, struct sigaction*);

static sigaction_fn g_sigaction;
static char g_dir[512];
static int g_fd = -1;
static int g_frames;

static _Unwind_Reason_Code write_frame(struct _Unwind_Context* context, void* unused)
{
    (void)unused;
    uintptr_t ip = _Unwind_GetIP(context);
    Dl_info info;
    if (dladdr((void*)ip, &info) && info.dli_fname) {
        uintptr_t base = (uintptr_t)(info.dli_sname ? info.dli_saddr : info.dli_fbase);
        dprintf(g_fd, "#%-3d 0x%012lx %s+0x%lx in %s\n", g_frames, (unsigned long)ip,
                info.dli_sname ? info.dli_sname : "", (unsigned long)(ip - base), info.dli_fname);
    } else {
        dprintf(g_fd, "#%-3d 0x%012lx\n", g_frames, (unsigned long)ip);
    }
    return ++g_frames < 200 ? _URC_NO_REASON : _URC_END_OF_STACK;
}

static _Unwind_Reason_Code stop_at_once(struct _Unwind_Context* context, void* unused)
{
    (void)context; (void)unused;
    return _URC_END_OF_STACK;
}

static void catch_signal(int sig, void (*handler)(int, siginfo_t*, void*))
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    g_sigaction(sig, &action, NULL);
}

/* A fault while walking frames that cannot be read (a thread stopped in Windows code, say) ends
 * the walk; the process ends as it would have after it. */
static void on_fault(int sig, siginfo_t* info, void* context)
{
    (void)sig; (void)info; (void)context;
    if (g_fd >= 0) dprintf(g_fd, "---- the walk faulted here\n");
    _exit(134);
}

static void on_abort(int sig, siginfo_t* info, void* context)
{
    (void)sig; (void)info; (void)context;
    catch_signal(SIGSEGV, on_fault);
    catch_signal(SIGBUS, on_fault);
    char path[600];
    long tid = (long)syscall(SYS_gettid);
    snprintf(path, sizeof path, "%s/abort-%d-%ld.txt", g_dir, (int)getpid(), tid);
    g_fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (g_fd >= 0) {
        dprintf(g_fd, "SIGABRT in process %d, thread %ld\n---- mappings\n", (int)getpid(), tid);
        int maps = open("/proc/self/maps", O_RDONLY);
        char buffer[4096];
        ssize_t got;
        while (maps >= 0 && (got = read(maps, buffer, sizeof buffer)) > 0) {
            if (write(g_fd, buffer, (size_t)got) != got) break;
        }
        if (maps >= 0) close(maps);
        dprintf(g_fd, "---- stack of the aborting thread\n");
        _Unwind_Backtrace(write_frame, NULL);
        dprintf(g_fd, "---- end\n");
        close(g_fd);
    }
    _exit(134);
}

int sigaction(int sig, const struct sigaction* act, struct sigaction* old)
{
    if (!g_sigaction) g_sigaction = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
    if (sig == SIGABRT && act && g_dir[0]) {
        if (old) g_sigaction(sig, NULL, old);
        return 0;
    }
    return g_sigaction(sig, act, old);
}

__attribute__((constructor)) static void abort_stack_init(void)
{
    const char* dir = getenv("QE_ABORT_DIR");
    if (!dir || !dir[0]) return;
    snprintf(g_dir, sizeof g_dir, "%s", dir);
    g_sigaction = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
    /* One walk now, while the heap is sound: the unwinder sets itself up on its first use. */
    _Unwind_Backtrace(stop_at_once, NULL);
    catch_signal(SIGABRT, on_abort);
}
