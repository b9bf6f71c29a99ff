// One helper owns the splitting of work into row bands for threads. Every band is processed
// by exactly one thread and the workers are joined before the call returns, so nothing keeps
// running inside the plug-in after the host's call ends.
#pragma once

#include <functional>

namespace qorva {

// Threads used by parallelRows: the value set with setThreadCount, else the environment
// variable QORVA_JOBS, else the hardware's count.
int threadCount();

// 0 returns to the automatic choice.
void setThreadCount(int count);

// For the calling thread only, over setThreadCount (0 returns to it): the share of a worker
// that processes one of several images at once.
void setThreadCountOfThisThread(int count);

// Calls fn(begin, end) for contiguous bands covering [0, rows). Bands smaller than minRows are
// not split further, so small preview images run on the calling thread. An exception thrown
// by any band is re-thrown here after all workers have been joined.
void parallelRows(int rows, const std::function<void(int begin, int end)>& fn, int minRows = 64);

}  // namespace qorva
