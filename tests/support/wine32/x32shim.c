/*
 * Preloaded into every process of the 32-bit Wine chroot (/etc/ld.so.preload).
 * Built inside the chroot by scripts/wine32.sh; it fixes two gaps of qemu-i386 user-mode emulation:
 *
 * 1. qemu puts trapno = -1 into the signal context of synchronous faults.
 *    Wine's i386 signal handlers choose the Windows exception from trapno, so
 *    access violations, divide errors and breakpoints would all be raised as
 *    EXCEPTION_ILLEGAL_INSTRUCTION.  The SA_SIGINFO handlers installed for
 *    SIGSEGV/SIGILL/SIGFPE/SIGTRAP/SIGBUS are wrapped: when trapno is -1 the
 *    trap number implied by the signal and si_code is filled in first.
 *
 * 2. qemu-user has no ptrace().  wineserver attaches with ptrace and then
 *    uses /proc/PID/mem or PEEKDATA/POKEDATA for ReadProcessMemory,
 *    WriteProcessMemory and module snapshots.  When the real ptrace fails
 *    with ENOSYS, attach/detach/cont/peek/poke are emulated on /proc/PID/mem
 *    (qemu maps i386 guests at guest_base 0: guest address == file offset).
 *    The target is not really stopped.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/ucontext.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef SI_KERNEL
#define SI_KERNEL 0x80
#endif

typedef void (*sa_fn)(int, siginfo_t *, void *);
static sa_fn real_handler[NSIG];

static int trap_number(int sig, int code)
{
    switch (sig) {
    case SIGSEGV: return code == SI_KERNEL ? 13 : 14; /* #GP : #PF */
    case SIGILL:  return 6;                           /* #UD */
    case SIGFPE:  return code == FPE_INTDIV || code == FPE_INTOVF ? 0 : 16;
    case SIGTRAP: return code == SI_KERNEL ? 3 : 1;   /* int3 : single step */
    case SIGBUS:  return code == SI_KERNEL ? 12 : 14;
    }
    return -1;
}

static void fix_trapno(int sig, siginfo_t *si, void *ctx)
{
    ucontext_t *uc = ctx;
    if (uc && si && uc->uc_mcontext.gregs[REG_TRAPNO] == -1)
        uc->uc_mcontext.gregs[REG_TRAPNO] = trap_number(sig, si->si_code);
    real_handler[sig](sig, si, ctx);
}

static int is_fault_signal(int sig)
{
    return sig == SIGSEGV || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP || sig == SIGBUS;
}

int sigaction(int sig, const struct sigaction *act, struct sigaction *old)
{
    static int (*real)(int, const struct sigaction *, struct sigaction *);
    struct sigaction wrapped;
    sa_fn previous;
    int ret;

    if (!real) real = (int (*)(int, const struct sigaction *, struct sigaction *))dlsym(RTLD_NEXT, "sigaction");
    if (!is_fault_signal(sig)) return real(sig, act, old);
    previous = real_handler[sig];
    if (act && (act->sa_flags & SA_SIGINFO) && act->sa_sigaction) {
        real_handler[sig] = act->sa_sigaction;
        wrapped = *act;
        wrapped.sa_sigaction = fix_trapno;
        act = &wrapped;
    }
    ret = real(sig, act, old);
    if (ret == 0 && old && (old->sa_flags & SA_SIGINFO) && old->sa_sigaction == fix_trapno)
        old->sa_sigaction = previous;
    return ret;
}

#define MAX_ATTACHED 256
static struct { pid_t pid; int stop_pending; } attached[MAX_ATTACHED];
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

static int find_slot(pid_t pid)
{
    for (int i = 0; i < MAX_ATTACHED; i++)
        if (attached[i].pid == pid) return i;
    return -1;
}

static int mem_io(pid_t pid, uintptr_t addr, void *buf, size_t len, int write)
{
    char path[32];
    ssize_t n;
    int fd;
    snprintf(path, sizeof path, "/proc/%d/mem", (int)pid);
    if ((fd = open(path, write ? O_WRONLY : O_RDONLY)) < 0) return -1;
    n = write ? pwrite(fd, buf, len, (off_t)addr) : pread(fd, buf, len, (off_t)addr);
    close(fd);
    if (n != (ssize_t)len) { errno = EIO; return -1; }
    return 0;
}

static long emulate_ptrace(int req, pid_t pid, void *addr, void *data)
{
    long value;
    int slot;

    pthread_mutex_lock(&lock);
    slot = find_slot(pid);
    if (req == PTRACE_ATTACH) {
        if (kill(pid, 0) < 0) { pthread_mutex_unlock(&lock); return -1; }
        if (slot < 0) slot = find_slot(0);
        if (slot < 0) { pthread_mutex_unlock(&lock); errno = EPERM; return -1; }
        attached[slot].pid = pid;
        attached[slot].stop_pending = 1;
        pthread_mutex_unlock(&lock);
        return 0;
    }
    if (slot < 0) { pthread_mutex_unlock(&lock); errno = ESRCH; return -1; }
    if (req == PTRACE_DETACH) attached[slot].pid = 0;
    pthread_mutex_unlock(&lock);

    switch (req) {
    case PTRACE_DETACH:
    case PTRACE_CONT:
        return 0;
    case PTRACE_PEEKDATA:
    case PTRACE_PEEKTEXT:
        if (mem_io(pid, (uintptr_t)addr, &value, sizeof value, 0) < 0) return -1;
        errno = 0;
        return value;
    case PTRACE_POKEDATA:
    case PTRACE_POKETEXT:
        value = (long)data;
        return mem_io(pid, (uintptr_t)addr, &value, sizeof value, 1);
    }
    errno = EIO;
    return -1;
}

long ptrace(enum __ptrace_request req, ...)
{
    static long (*real)(enum __ptrace_request, ...);
    va_list ap;
    pid_t pid;
    void *addr, *data;
    long ret;
    int emulated;

    va_start(ap, req);
    pid = va_arg(ap, pid_t);
    addr = va_arg(ap, void *);
    data = va_arg(ap, void *);
    va_end(ap);

    pthread_mutex_lock(&lock);
    emulated = find_slot(pid) >= 0;
    pthread_mutex_unlock(&lock);
    if (emulated) return emulate_ptrace(req, pid, addr, data);

    if (!real) real = (long (*)(enum __ptrace_request, ...))dlsym(RTLD_NEXT, "ptrace");
    ret = real(req, pid, addr, data);
    if (ret == -1 && errno == ENOSYS && req == PTRACE_ATTACH)
        return emulate_ptrace(req, pid, addr, data);
    return ret;
}

/* an emulated attach reports one SIGSTOP stop, as a real attach would */
static int take_pending_stop(pid_t pid, int *status)
{
    int slot, taken = 0;
    if (pid <= 0) return 0;
    pthread_mutex_lock(&lock);
    slot = find_slot(pid);
    if (slot >= 0 && attached[slot].stop_pending) {
        attached[slot].stop_pending = 0;
        taken = 1;
    }
    pthread_mutex_unlock(&lock);
    if (taken && status) *status = (SIGSTOP << 8) | 0x7f;
    return taken;
}

pid_t wait4(pid_t pid, int *status, int options, struct rusage *usage)
{
    static pid_t (*real)(pid_t, int *, int, struct rusage *);
    if (take_pending_stop(pid, status)) {
        if (usage) memset(usage, 0, sizeof *usage);
        return pid;
    }
    if (!real) real = (pid_t (*)(pid_t, int *, int, struct rusage *))dlsym(RTLD_NEXT, "wait4");
    return real(pid, status, options, usage);
}

pid_t waitpid(pid_t pid, int *status, int options)
{
    static pid_t (*real)(pid_t, int *, int);
    if (take_pending_stop(pid, status)) return pid;
    if (!real) real = (pid_t (*)(pid_t, int *, int))dlsym(RTLD_NEXT, "waitpid");
    return real(pid, status, options);
}
