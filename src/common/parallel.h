// One helper owns the splitting of work into row bands for threads. Every band is processed
// by exactly one thread and the workers are joined before the call returns, so nothing keeps
// running inside the plug-in after the host's call ends.
#pragma once

#include <functional>
#ifndef _WIN32
#include <mutex>
#endif

namespace qorva {

// Threads used by parallelRows: the value set with setThreadCount, else the environment
// variable QORVA_JOBS, else the hardware's count.
int threadCount();

// 0 returns to the automatic choice.
void setThreadCount(int count);

// For the calling thread only, over setThreadCount (0 returns to it): the share of a worker
// that processes one of several images at once.
void setThreadCountOfThisThread(int count);

// The lock under which bands combine their partial results. In the Windows plug-in the standard
// mutex allocates its state at first use and never frees it (its destructor does nothing), and
// makes an event the first time two threads meet on it: inside an editor every render would
// leave those behind. There this is the system's slim lock, which holds nothing to give back.
class BandLock {
public:
    BandLock() noexcept;
    ~BandLock();
    BandLock(const BandLock&) = delete;
    BandLock& operator=(const BandLock&) = delete;

    void lock() noexcept;
    void unlock() noexcept;

private:
#ifdef _WIN32
    void* state_;  // the slim lock itself: one pointer, zero when free
#else
    std::mutex mutex_;
#endif
};

// Calls fn(begin, end) for contiguous bands covering [0, rows). Bands smaller than minRows are
// not split further, so small preview images run on the calling thread. An exception thrown
// by any band is re-thrown here after all workers have been joined.
void parallelRows(int rows, const std::function<void(int begin, int end)>& fn, int minRows = 64);

}  // namespace qorva
