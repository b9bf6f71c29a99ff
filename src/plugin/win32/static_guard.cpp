// The guard of the plug-in's function-local statics (its tables, the dialog's layout), which the
// compiler calls the first time each one is reached. The C++ runtime's own guard makes, at its
// first use, a lock and a condition variable (two semaphores) that nothing ever closes: in an
// editor that loads the filter at every use, each run would leave them behind. These are the
// system's slim lock and condition variable, which hold nothing to give back.
//
// The guard is the compiler's 64-bit word: its first byte, which the inline test reads, says the
// static is made; the second says a thread is making it, and others wait until it is done.

#include <windows.h>

#include <cstdint>

namespace {

SRWLOCK gGuardLock = SRWLOCK_INIT;
CONDITION_VARIABLE gGuardDone = CONDITION_VARIABLE_INIT;

unsigned char* madeFlag(std::int64_t* guard) {
    return reinterpret_cast<unsigned char*>(guard);
}
unsigned char* makingFlag(std::int64_t* guard) {
    return reinterpret_cast<unsigned char*>(guard) + 1;
}

}  // namespace

extern "C" {

// 1: the caller makes the static and then calls release (or abort if that throws); 0: it is made.
int __cxa_guard_acquire(std::int64_t* guard) {
    if (__atomic_load_n(madeFlag(guard), __ATOMIC_ACQUIRE)) return 0;
    AcquireSRWLockExclusive(&gGuardLock);
    int result = 0;
    for (;;) {
        if (__atomic_load_n(madeFlag(guard), __ATOMIC_ACQUIRE)) break;
        if (!*makingFlag(guard)) {
            *makingFlag(guard) = 1;
            result = 1;
            break;
        }
        SleepConditionVariableSRW(&gGuardDone, &gGuardLock, INFINITE, 0);
    }
    ReleaseSRWLockExclusive(&gGuardLock);
    return result;
}

void __cxa_guard_release(std::int64_t* guard) {
    AcquireSRWLockExclusive(&gGuardLock);
    *makingFlag(guard) = 0;
    __atomic_store_n(madeFlag(guard), 1, __ATOMIC_RELEASE);
    ReleaseSRWLockExclusive(&gGuardLock);
    WakeAllConditionVariable(&gGuardDone);
}

// The static's constructor threw: another thread may try again.
void __cxa_guard_abort(std::int64_t* guard) {
    AcquireSRWLockExclusive(&gGuardLock);
    *makingFlag(guard) = 0;
    ReleaseSRWLockExclusive(&gGuardLock);
    WakeAllConditionVariable(&gGuardDone);
}

}  // extern "C"
