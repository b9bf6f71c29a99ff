#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "common/parallel.h"
#include "support/thread_count_guard.h"

namespace qorva {
namespace {

using test::ThreadCountGuard;

TEST(ParallelRows, CoversEveryRowOnceForAnyThreadCount) {
    ThreadCountGuard guard;
    for (int threads : {1, 2, 7}) {
        setThreadCount(threads);
        for (int rows : {0, 1, 63, 64, 1000, 1001}) {
            std::vector<std::atomic<int>> seen(static_cast<size_t>(rows));
            parallelRows(
                rows,
                [&](int b, int e) {
                    for (int y = b; y < e; ++y) seen[static_cast<size_t>(y)]++;
                },
                8);
            for (int y = 0; y < rows; ++y) ASSERT_EQ(seen[static_cast<size_t>(y)], 1) << rows;
        }
    }
}

TEST(ParallelRows, RethrowsAfterJoiningWorkers) {
    ThreadCountGuard guard;
    setThreadCount(4);
    std::atomic<int> finished{0};
    EXPECT_THROW(parallelRows(
                     400,
                     [&](int b, int) {
                         if (b == 0) throw std::runtime_error("band failed");
                         finished++;
                     },
                     10),
                 std::runtime_error);
    EXPECT_EQ(finished, 3);
}

}  // namespace
}  // namespace qorva
