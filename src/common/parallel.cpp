#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace qorva {
namespace {

std::atomic<int> gConfiguredThreads{0};
// A worker that renders one of several images side by side takes its share of the threads.
thread_local int tCallerThreads = 0;

// One band on a thread of its own, joined at the latest when it goes.
class BandThread {
public:
    // Throws when no thread can be had.
    BandThread(const std::function<void(int)>& run, int band);
    ~BandThread() { join(); }
    BandThread(const BandThread&) = delete;
    BandThread& operator=(const BandThread&) = delete;
    void join();

private:
#ifdef _WIN32
    // In the plug-in the bands run on system threads: the threads library behind std::thread
    // keeps records, locks and events of its own that outlive the module, and an editor that
    // loads the filter at every use would keep them all.
    static DWORD WINAPI start(LPVOID self) {
        auto* thread = static_cast<BandThread*>(self);
        (*thread->run_)(thread->band_);
        return 0;
    }
    const std::function<void(int)>* run_;
    int band_;
    HANDLE handle_;
#else
    std::thread thread_;
#endif
};

#ifdef _WIN32
BandThread::BandThread(const std::function<void(int)>& run, int band)
    : run_(&run), band_(band), handle_(CreateThread(nullptr, 0, start, this, 0, nullptr)) {
    if (handle_ == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateThread");
}

void BandThread::join() {
    if (handle_ == nullptr) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
}
#else
BandThread::BandThread(const std::function<void(int)>& run, int band) : thread_(run, band) {}

void BandThread::join() {
    if (thread_.joinable()) thread_.join();
}
#endif

int automaticThreadCount() {
    if (const char* env = std::getenv("QORVA_JOBS")) {
        int n = std::atoi(env);
        if (n > 0) return std::min(n, 256);
    }
    unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : static_cast<int>(std::min(hw, 256u));
}

}  // namespace

#ifdef _WIN32
static_assert(sizeof(SRWLOCK) == sizeof(void*));
BandLock::BandLock() noexcept : state_(nullptr) {}  // SRWLOCK_INIT
BandLock::~BandLock() = default;
void BandLock::lock() noexcept {
    AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&state_));
}
void BandLock::unlock() noexcept {
    ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&state_));
}
#else
BandLock::BandLock() noexcept = default;
BandLock::~BandLock() = default;
void BandLock::lock() noexcept {
    mutex_.lock();
}
void BandLock::unlock() noexcept {
    mutex_.unlock();
}
#endif

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
    BandLock failureLock;
    const std::function<void(int)> runBand = [&](int band) {
        int begin = static_cast<int>(static_cast<long long>(rows) * band / bands);
        int end = static_cast<int>(static_cast<long long>(rows) * (band + 1) / bands);
        try {
            fn(begin, end);
        } catch (...) {
            std::lock_guard<BandLock> lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::unique_ptr<BandThread>> workers;
    workers.reserve(static_cast<size_t>(bands - 1));
    try {
        for (int band = 1; band < bands; ++band)
            workers.push_back(std::make_unique<BandThread>(runBand, band));
    } catch (...) {
        // Could not start a thread: the remaining bands run here instead.
        for (int band = static_cast<int>(workers.size()) + 1; band < bands; ++band) runBand(band);
    }
    runBand(0);
    for (auto& w : workers) w->join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace qorva
