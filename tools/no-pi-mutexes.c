// SPDX-License-Identifier: MIT
// Preloaded under qemu-user when the emulated machine's byte order is not
// this machine's (s390x on x86, for one): mutexes that ask for priority
// inheritance get plain ones instead.
//
// Such a mutex, once contended, is handed to the kernel (FUTEX_LOCK_PI),
// which reads the owner's thread id from the lock word in its own byte order.
// qemu-user passes the call through unchanged, so the kernel finds no such
// thread, and the C library then parks the caller for good. libpulse's
// threaded main loop uses one, and the game's sound thread stopped that way
// now and then when the window closed. Mutual exclusion is the same without
// it; only the scheduling hint is lost.
#include <errno.h>
#include <pthread.h>

int pthread_mutexattr_setprotocol(pthread_mutexattr_t *attr, int protocol) {
    (void)attr;
    return protocol == PTHREAD_PRIO_NONE ? 0 : ENOTSUP;
}
