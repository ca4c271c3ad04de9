// SPDX-License-Identifier: MIT
// Linked into the tests only when they are built with ThreadSanitizer.
//
// QProcess starts its children with clone(CLONE_VM | CLONE_VFORK): the child
// runs in the parent's memory until it execs. GCC 12's ThreadSanitizer wraps
// clone() as if it were fork(), and runs its after-fork bookkeeping in the
// child, in that shared memory: the parent thread's count of ignored
// interceptors ends one below zero, and from then on ThreadSanitizer no
// longer sees that thread lock or unlock a mutex. Every locked hand-over
// between the tests' main thread and a helper thread then looks like a race
// (the sound recorder's noted arrivals did). This clone() goes straight to
// the C library's, so that ThreadSanitizer keeps seeing the parent's locks;
// the child only execs.
#include <dlfcn.h>
#include <sys/types.h>

#include <cstdarg>

extern "C" int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...) {
    using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
    static const Clone libc = reinterpret_cast<Clone>(dlsym(dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD), "clone"));
    va_list more;
    va_start(more, arg);
    pid_t *parentTid = va_arg(more, pid_t *);
    void *tls = va_arg(more, void *);
    pid_t *childTid = va_arg(more, pid_t *);
    va_end(more);
    return libc(fn, stack, flags, arg, parentTid, tls, childTid);
}
