/* Preloaded into the 32-bit processes of the lane's Wine root: it works
 * around three faults of QEMU 7.2's user-mode emulator that break 32-bit Wine.
 *
 * 1. A fixed mapping asked with MAP_FIXED_NOREPLACE is taken as a hint: when
 *    the range is taken, the emulator maps elsewhere and reports success, so
 *    Wine's address-space reservation loops over tens of thousands of
 *    map/unmap calls. A mapping placed elsewhere is undone and refused with
 *    EEXIST, as the kernel answers.
 * 2. Every thread's set_thread_area writes the one descriptor table the
 *    emulator keeps for all threads, so when Wine reloads its TEB selector
 *    after a system call, the thread gets the TEB of the thread made last;
 *    an exception then unwinds through another thread's frames. Refusing
 *    set_thread_area makes Wine give each thread an LDT entry of its own.
 *    The C library's thread pointer (gs) suffers the same once Wine reloads
 *    it on entering its Unix side, so each thread here moves its own to an
 *    LDT entry of its own before any other code of the thread runs.
 * 3. A page fault reaches the SIGSEGV handler with trap number -1, which
 *    Wine's handler does not take for a page fault, so the process dies. The
 *    handler Wine installs is wrapped: trap number 14 and an error code with
 *    the present bit from si_code and the write bit from a probe of the page.
 */
#define _GNU_SOURCE
#include <asm/ldt.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif
enum { TrapPageFault = 14, FaultPresent = 1, FaultWrite = 2, PageShift = 12 };

static void* MapPages(void* addr, size_t length, int prot, int flags, int fd, uint64_t offset)
{
    /* Wine maps image sections at unaligned offsets on purpose: it reads
     * them instead when the mapping is refused, as the system refuses it. */
    if (offset & ((1u << PageShift) - 1)) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    void* mapped = (void*)syscall(SYS_mmap2, addr, length, prot, flags, fd, (unsigned long)(offset >> PageShift));
    if (mapped != MAP_FAILED && (flags & MAP_FIXED_NOREPLACE) && mapped != addr) {
        syscall(SYS_munmap, mapped, length);
        errno = EEXIST;
        return MAP_FAILED;
    }
    return mapped;
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return MapPages(addr, length, prot, flags, fd, (uint64_t)offset);
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset)
{
    return MapPages(addr, length, prot, flags, fd, (uint64_t)offset);
}

typedef long (*SyscallFn)(long, ...);
typedef int (*SigactionFn)(int, const struct sigaction*, struct sigaction*);
static SyscallFn nextSyscall;
static SigactionFn nextSigaction;
static int nullFd = -1;
/* Taken from the top down: Wine takes its LDT entries from the bottom up. */
static int nextLdtEntry = LDT_ENTRIES - 1;

/* The C library's own selector: it makes new threads from the entry it names. */
static unsigned short libraryGs;

static unsigned short ThreadPointerSelector(void)
{
    unsigned short selector;
    __asm__ volatile("movw %%gs, %0" : "=r"(selector));
    return selector;
}

static void LoadThreadPointerSelector(unsigned short selector)
{
    __asm__ volatile("movw %0, %%gs" : : "r"(selector));
}

/* A descriptor of this thread's block (which points to itself at offset 0). */
static struct user_desc ThreadBlockDescriptor(unsigned int entry)
{
    unsigned int threadBlock;
    __asm__ volatile("movl %%gs:0, %0" : "=r"(threadBlock));
    struct user_desc desc = {0};
    desc.entry_number = entry;
    desc.base_addr = threadBlock;
    desc.limit = 0xfffff;
    desc.seg_32bit = 1;
    desc.limit_in_pages = 1;
    desc.useable = 1;
    return desc;
}

static void MoveThreadPointerToLdt(void)
{
    struct user_desc desc =
        ThreadBlockDescriptor((unsigned int)__atomic_fetch_sub(&nextLdtEntry, 1, __ATOMIC_SEQ_CST));
    if (nextSyscall(SYS_modify_ldt, 1, &desc, sizeof desc) == 0)
        LoadThreadPointerSelector((unsigned short)(desc.entry_number << 3 | 7)); /* LDT, ring 3 */
}

/* Resolved before the program runs; the mappings above go through syscall(). */
__attribute__((constructor)) static void Resolve(void)
{
    nextSyscall = (SyscallFn)dlsym(RTLD_NEXT, "syscall");
    nextSigaction = (SigactionFn)dlsym(RTLD_NEXT, "sigaction");
    nullFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    libraryGs = ThreadPointerSelector();
    MoveThreadPointerToLdt();
}

typedef int (*PthreadCreateFn)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
struct CThreadStart {
    void* (*routine)(void*);
    void* arg;
};

static void* StartThread(void* param)
{
    struct CThreadStart start = *(struct CThreadStart*)param;
    free(param);
    MoveThreadPointerToLdt();
    return start.routine(start.arg);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*), void* arg)
{
    static PthreadCreateFn next;
    if (!next)
        next = (PthreadCreateFn)dlsym(RTLD_NEXT, "pthread_create");
    struct CThreadStart* start = malloc(sizeof *start);
    if (!start)
        return EAGAIN;
    start->routine = routine;
    start->arg = arg;
    /* The library's entry made this thread's for the call; the new thread
     * moves to an entry of its own as it starts. */
    unsigned short own = ThreadPointerSelector();
    struct user_desc desc = ThreadBlockDescriptor(libraryGs >> 3);
    nextSyscall(SYS_set_thread_area, &desc);
    LoadThreadPointerSelector(libraryGs);
    int result = next(thread, attr, StartThread, start);
    LoadThreadPointerSelector(own);
    if (result != 0)
        free(start);
    return result;
}

long syscall(long number, ...)
{
    long args[6];
    va_list list;
    va_start(list, number);
    for (int i = 0; i < 6; ++i)
        args[i] = va_arg(list, long);
    va_end(list);
    if (number == SYS_set_thread_area) {
        errno = ENOSYS;
        return -1;
    }
    if (!nextSyscall) /* a mapping asked for before the constructor ran */
        nextSyscall = (SyscallFn)dlsym(RTLD_NEXT, "syscall");
    return nextSyscall(number, args[0], args[1], args[2], args[3], args[4], args[5]);
}

static struct sigaction wineSegv;

/* The emulator checks the guest's page rights on a system call's buffer: a
 * write of one byte from the address fails with EFAULT if it is unreadable. */
static int Readable(const void* addr)
{
    return nullFd >= 0 && syscall(SYS_write, nullFd, addr, 1) == 1;
}

static void SegvHandler(int sig, siginfo_t* info, void* context)
{
    greg_t* regs = ((ucontext_t*)context)->uc_mcontext.gregs;
    if (regs[REG_TRAPNO] == -1) {
        /* A denied access to a readable page can only have been a write. */
        int present = info->si_code == SEGV_ACCERR;
        regs[REG_TRAPNO] = TrapPageFault;
        regs[REG_ERR] = (present ? FaultPresent : 0) | (present && Readable(info->si_addr) ? FaultWrite : 0);
    }
    if (wineSegv.sa_flags & SA_SIGINFO)
        wineSegv.sa_sigaction(sig, info, context);
    else if (wineSegv.sa_handler != SIG_DFL && wineSegv.sa_handler != SIG_IGN)
        wineSegv.sa_handler(sig);
}

int sigaction(int sig, const struct sigaction* act, struct sigaction* oldact)
{
    if (sig != SIGSEGV || !act || !(act->sa_flags & SA_SIGINFO) || act->sa_sigaction == SegvHandler)
        return nextSigaction(sig, act, oldact);

    struct sigaction wrapped = *act;
    wrapped.sa_sigaction = SegvHandler;
    struct sigaction previous;
    int result = nextSigaction(sig, &wrapped, &previous);
    if (result == 0) {
        if (oldact)
            *oldact = previous.sa_sigaction == SegvHandler ? wineSegv : previous;
        wineSegv = *act;
    }
    return result;
}
