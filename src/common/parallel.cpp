#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qorva {
namespace {

std::atomic<int> gConfiguredThreads{0};
// A worker that renders one of several images side by side takes its share of the threads.
thread_local int tCallerThreads = 0;

int automaticThreadCount() {
    if (const char* env = std::getenv("QORVA_JOBS")) {
        int n = std::atoi(env);
        if (n > 0) return std::min(n, 256);
    }
    unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : static_cast<int>(std::min(hw, 256u));
}

}  // namespace

int threadCount() {
    if (tCallerThreads > 0) return tCallerThreads;
    int n = gConfiguredThreads.load();
    return n > 0 ? n : automaticThreadCount();
}

void setThreadCount(int count) {
    gConfiguredThreads.store(std::max(0, std::min(count, 256)));
}

void setThreadCountOfThisThread(int count) {
    tCallerThreads = std::max(0, std::min(count, 256));
}

void parallelRows(int rows, const std::function<void(int, int)>& fn, int minRows) {
    if (rows <= 0) return;
    if (minRows < 1) minRows = 1;
    int bands = std::min(threadCount(), std::max(1, rows / minRows));
    if (bands <= 1) {
        fn(0, rows);
        return;
    }
    std::exception_ptr failure;
    std::mutex failureLock;
    auto runBand = [&](int band) {
        int begin = static_cast<int>(static_cast<long long>(rows) * band / bands);
        int end = static_cast<int>(static_cast<long long>(rows) * (band + 1) / bands);
        try {
            fn(begin, end);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(bands - 1));
    try {
        for (int band = 1; band < bands; ++band) workers.emplace_back(runBand, band);
    } catch (...) {
        // Could not start a thread: the remaining bands run here instead.
        for (int band = static_cast<int>(workers.size()) + 1; band < bands; ++band) runBand(band);
    }
    runBand(0);
    for (auto& w : workers) w.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace qorva
