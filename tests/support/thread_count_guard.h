// A test that sets the thread count puts the automatic count back when it ends, passed or not,
// so that the tests after it run as they would alone.
#pragma once

#include "common/parallel.h"

namespace qorva::test {

struct ThreadCountGuard {
    ThreadCountGuard() = default;
    ThreadCountGuard(const ThreadCountGuard&) = delete;
    ThreadCountGuard& operator=(const ThreadCountGuard&) = delete;
    ~ThreadCountGuard() { setThreadCount(0); }
};

}  // namespace qorva::test
