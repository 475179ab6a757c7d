/* Preloaded into 32-bit wine when it runs under qemu-i386 7.2 user emulation.
   Works around three qemu-user 7.2 faults that break wine:
   1. mmap(MAP_FIXED_NOREPLACE) on an occupied range returns some other address
      instead of failing with EEXIST -> wine's address-space reservation
      degenerates into a (near-endless) 64K-granular loop.
   2. The sigcontext of guest signals carries trapno = -1, so wine turns every
      page fault into an "illegal instruction" exception.
   3. The emulated GDT is shared by all threads of a process, so the per-thread
      TLS descriptors (glibc's %gs, wine's %fs) of one thread get overwritten
      by the next thread; any segment reload (wine reloads %fs/%gs in every
      signal handler, sigreturn reloads them) then picks another thread's TLS.
      Fix: give every thread its own LDT descriptor for %gs, and make wine fall
      back to its per-thread LDT descriptors for %fs.                          */
#define _GNU_SOURCE
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <errno.h>
#include <signal.h>
#include <ucontext.h>
#include <dlfcn.h>
#include <string.h>
#include <stdarg.h>
#include <stdlib.h>
#include <pthread.h>
#include <asm/ldt.h>
#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

static void *fix_noreplace(void *want, void *got, size_t len, int flags)
{
    if ((flags & MAP_FIXED_NOREPLACE) && !(flags & MAP_FIXED) && got != MAP_FAILED && got != want) {
        syscall(SYS_munmap, got, len);
        errno = EEXIST;
        return MAP_FAILED;
    }
    return got;
}
static void *raw_mmap2(void *a, size_t l, int p, int f, int fd, unsigned long pgoff)
{
    long r = syscall(SYS_mmap2, a, l, p, f, fd, pgoff);
    if ((unsigned long)r > -4096UL) {
        errno = -r;
        return MAP_FAILED;
    }
    return (void *)r;
}
void *mmap(void *a, size_t l, int p, int f, int fd, off_t o)
{
    if (o & 4095) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    return fix_noreplace(a, raw_mmap2(a, l, p, f, fd, (unsigned long)o >> 12), l, f);
}
void *mmap64(void *a, size_t l, int p, int f, int fd, off64_t o)
{
    if (o & 4095) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    return fix_noreplace(a, raw_mmap2(a, l, p, f, fd, (unsigned long)(o >> 12)), l, f);
}

/* ---- trapno fix-up ---- */
typedef void (*sa3_t)(int, siginfo_t *, void *);
static sa3_t orig_handler[65];

static void wrapper(int sig, siginfo_t *si, void *ucv)
{
    ucontext_t *uc = ucv;
    greg_t *trap = &uc->uc_mcontext.gregs[REG_TRAPNO];
    if ((int)*trap == -1) {
        switch (sig) {
        case SIGSEGV:
            *trap = (si->si_code == SEGV_MAPERR || si->si_code == SEGV_ACCERR) ? 14 : 13;
            break;
        case SIGBUS:
            *trap = 17;
            break;
        case SIGILL:
            *trap = 6;
            break;
        case SIGTRAP:
            *trap = (si->si_code == TRAP_TRACE) ? 1 : 3;
            break;
        case SIGFPE:
            switch (si->si_code) {
            case FPE_INTDIV:
                *trap = 0;
                break;
            case FPE_INTOVF:
                *trap = 4;
                break;
            default:
                *trap = 16;
                break;
            }
            break;
        }
    }
    if (orig_handler[sig])
        orig_handler[sig](sig, si, ucv);
}

static int is_fault_sig(int sig)
{
    return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGTRAP || sig == SIGFPE;
}

int sigaction(int sig, const struct sigaction *act, struct sigaction *old)
{
    static int (*real)(int, const struct sigaction *, struct sigaction *);
    struct sigaction tmp;
    sa3_t prev = (sig > 0 && sig < 65) ? orig_handler[sig] : 0;
    int ret;

    if (!real)
        real = dlsym(RTLD_NEXT, "sigaction");
    if (act && is_fault_sig(sig) && (act->sa_flags & SA_SIGINFO) && act->sa_sigaction != (sa3_t)SIG_DFL &&
        act->sa_sigaction != (sa3_t)SIG_IGN) {
        tmp = *act;
        orig_handler[sig] = act->sa_sigaction;
        tmp.sa_sigaction = wrapper;
        ret = real(sig, &tmp, old);
        if (ret)
            orig_handler[sig] = prev;
    } else {
        ret = real(sig, act, old);
        if (!ret && act && sig > 0 && sig < 65)
            orig_handler[sig] = 0;
    }
    if (!ret && old && (old->sa_flags & SA_SIGINFO) && old->sa_sigaction == wrapper)
        old->sa_sigaction = prev;
    return ret;
}

/* ---- per-thread LDT descriptor for %gs ---- */
#define GS_LDT_TOP 8191
#define GS_LDT_COUNT 4096 /* entries 4096..8191; wine allocates upward from 32/512 */
static volatile unsigned char ldt_used[GS_LDT_COUNT];
static pthread_key_t gs_key;
static long (*real_syscall)(long, ...);

static long raw_syscall6(long nr, long a, long b, long c, long d, long e, long f)
{
    if (!real_syscall)
        real_syscall = dlsym(RTLD_NEXT, "syscall");
    return real_syscall(nr, a, b, c, d, e, f);
}

static void gs_release(void *p)
{
    int slot = (int)(long)p - 1;
    if (slot >= 0 && slot < GS_LDT_COUNT)
        __atomic_store_n(&ldt_used[slot], 0, __ATOMIC_RELEASE);
}

static void switch_gs_to_ldt(void)
{
    unsigned int base;
    unsigned short sel;
    int slot;
    struct user_desc d;

    __asm__ volatile("movl %%gs:0,%0" : "=r"(base));
    for (slot = 0; slot < GS_LDT_COUNT; slot++)
        if (!__atomic_exchange_n(&ldt_used[slot], 1, __ATOMIC_ACQ_REL))
            break;
    if (slot == GS_LDT_COUNT)
        return; /* out of entries: keep the GDT selector */
    memset(&d, 0, sizeof(d));
    d.entry_number = GS_LDT_TOP - slot;
    d.base_addr = base;
    d.limit = 0xfffff;
    d.seg_32bit = 1;
    d.limit_in_pages = 1;
    d.useable = 1;
    if (raw_syscall6(SYS_modify_ldt, 0x11, (long)&d, sizeof(d), 0, 0, 0) != 0) {
        ldt_used[slot] = 0;
        return;
    }
    sel = (unsigned short)((d.entry_number << 3) | 7);
    __asm__ volatile("movw %0,%%gs" ::"r"(sel));
    pthread_setspecific(gs_key, (void *)(long)(slot + 1));
}

__attribute__((constructor)) static void shim_init(void)
{
    pthread_key_create(&gs_key, gs_release);
    switch_gs_to_ldt(); /* also allocates the LDT while still single-threaded */
}

struct start_info {
    void *(*fn)(void *);
    void *arg;
};
static void *thread_tramp(void *p)
{
    struct start_info si = *(struct start_info *)p;
    free(p);
    switch_gs_to_ldt();
    return si.fn(si.arg);
}

static pthread_mutex_t create_lock = PTHREAD_MUTEX_INITIALIZER;

int pthread_create(pthread_t *t, const pthread_attr_t *attr, void *(*fn)(void *), void *arg)
{
    static int (*real)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    struct start_info *si = malloc(sizeof(*si));
    unsigned short gs, gdt_gs = (6 << 3) | 3;
    int ret;
    if (!real)
        real = dlsym(RTLD_NEXT, "pthread_create");
    if (!si)
        return ENOMEM;
    si->fn = fn;
    si->arg = arg;
    /* glibc derives the new thread's TLS descriptor number from the current %gs
       and qemu only accepts GDT TLS slots: run the real pthread_create with %gs
       on GDT slot 6, refreshed with this thread's own TLS base. */
    pthread_mutex_lock(&create_lock);
    __asm__ volatile("movw %%gs,%0" : "=r"(gs));
    if (gs & 4) {
        struct user_desc d;
        unsigned int base;
        __asm__ volatile("movl %%gs:0,%0" : "=r"(base));
        memset(&d, 0, sizeof(d));
        d.entry_number = 6;
        d.base_addr = base;
        d.limit = 0xfffff;
        d.seg_32bit = 1;
        d.limit_in_pages = 1;
        d.useable = 1;
        if (raw_syscall6(SYS_set_thread_area, (long)&d, 0, 0, 0, 0, 0) == 0)
            __asm__ volatile("movw %0,%%gs" ::"r"(gdt_gs));
    }
    ret = real(t, attr, thread_tramp, si);
    __asm__ volatile("movw %0,%%gs" ::"r"(gs));
    pthread_mutex_unlock(&create_lock);
    if (ret)
        free(si);
    return ret;
}

/* wine allocates a GDT TLS slot for %fs with set_thread_area(entry -1); refuse it
   so that wine uses per-thread LDT entries instead. */
long syscall(long nr, ...)
{
    va_list ap;
    long a, b, c, d, e, f;
    va_start(ap, nr);
    a = va_arg(ap, long);
    b = va_arg(ap, long);
    c = va_arg(ap, long);
    d = va_arg(ap, long);
    e = va_arg(ap, long);
    f = va_arg(ap, long);
    va_end(ap);
    if (nr == SYS_set_thread_area && a && (int)((struct user_desc *)a)->entry_number == -1) {
        errno = ENOSYS;
        return -1;
    }
    return raw_syscall6(nr, a, b, c, d, e, f);
}
