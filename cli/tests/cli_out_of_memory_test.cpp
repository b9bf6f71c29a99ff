// A photograph too large for the memory the tool can get is reported, and the tool exits 1
// without leaving an output file behind; with enough memory the same run writes the whole
// result. The tool runs with its address space capped (RLIMIT_AS), from the least that lets
// it start at all upward, so the failure moves through reading, rendering and writing.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "support/child_process.h"

namespace qorva::cli::test {
namespace {

#ifndef QORVA_TEST_ADDRESS_SANITIZER

constexpr std::size_t kMiB = 1024 * 1024;

ToolRun runCapped(const std::vector<std::string>& args, std::size_t limit) {
    return runToolWithLimits(args, ToolLimits{0, limit});
}

TEST(CliOutOfMemory, ReportedWithExitOneAndNoOutputAtEveryLimit) {
    ScratchFolder folder;
    writeImage(folder / "photo.ppm", sceneImage(2000, 1500, 5));

    // The least address space in which the tool and its libraries start: below it the loader
    // or the libraries' own initialisation fail before the tool runs, which is not its doing.
    std::size_t low = 128 * kMiB, high = 2048 * kMiB;
    if (runCapped({"--version"}, high).exitCode != 0) GTEST_SKIP() << "cannot start at all";
    while (high - low > 8 * kMiB) {
        const std::size_t mid = low + (high - low) / 2;
        (runCapped({"--version"}, mid).exitCode == 0 ? high : low) = mid;
    }

    int reported = 0;
    bool written = false;
    for (std::size_t limit = high + 8 * kMiB; limit < high + 1024 * kMiB && !written;
         limit += 16 * kMiB) {
        const std::string out = folder / "result.ppm";
        std::filesystem::remove(out);
        const ToolRun run = runCapped({folder / "photo.ppm", "-o", out}, limit);
        const std::string where = std::to_string(limit / kMiB) + " MiB: " + run.err;
        ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << " at " << where;
        if (run.exitCode == 1) {
            ++reported;
            EXPECT_NE(run.err.find("qorvahdr: "), std::string::npos) << where;
            EXPECT_FALSE(std::filesystem::exists(out)) << where;
            for (const std::string& name : folder.entries())
                EXPECT_TRUE(name == "photo.ppm" || name == "err.txt") << name << " at " << where;
        } else {
            written = true;
            EXPECT_EQ(readImage(out).rgb.size(), 2000u * 1500 * 3) << where;
        }
    }
    EXPECT_GT(reported, 0);
    EXPECT_TRUE(written);
}

#else
TEST(CliOutOfMemory, NotUnderAddressSanitizer) {
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; RLIMIT_AS cannot apply";
}
#endif

}  // namespace
}  // namespace qorva::cli::test
