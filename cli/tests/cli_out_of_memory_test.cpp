// A photograph too large for the memory the tool can get is reported, and the tool exits 1
// without leaving an output file behind; with enough memory the same run writes the whole
// result. The tool runs with its address space capped (RLIMIT_AS), from the least that lets
// it start at all upward, so the failure moves through reading, rendering and writing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define QORVA_CLI_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QORVA_CLI_ASAN 1
#endif
#endif

namespace qorva::cli::test {
namespace {

#ifndef QORVA_CLI_ASAN

constexpr rlim_t kMiB = 1024 * 1024;

struct CappedRun {
    int exitCode = -1;  // 128 + signal when killed
    std::string err;
};

CappedRun runCapped(const std::vector<std::string>& args, rlim_t limit, const std::string& err) {
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit cap{limit, limit};
        const int null = open("/dev/null", O_RDWR);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (setrlimit(RLIMIT_AS, &cap) != 0 || null < 0 || errFd < 0) _exit(120);
        dup2(null, 0);
        dup2(null, 1);
        dup2(errFd, 2);
        std::vector<std::string> all{QORVAHDR_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(QORVAHDR_EXE, argv.data());
        _exit(121);
    }
    CappedRun run;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.err = readFileBytes(err);
    return run;
}

TEST(CliOutOfMemory, ReportedWithExitOneAndNoOutputAtEveryLimit) {
    ScratchFolder folder;
    writeImage(folder / "photo.ppm", sceneImage(2000, 1500, 5));
    const std::string err = folder / "err.txt";

    // The least address space in which the tool and its libraries start: below it the loader
    // or the libraries' own initialisation fail before the tool runs, which is not its doing.
    rlim_t low = 128 * kMiB, high = 2048 * kMiB;
    if (runCapped({"--version"}, high, err).exitCode != 0) GTEST_SKIP() << "cannot start at all";
    while (high - low > 8 * kMiB) {
        const rlim_t mid = low + (high - low) / 2;
        (runCapped({"--version"}, mid, err).exitCode == 0 ? high : low) = mid;
    }

    int reported = 0;
    bool written = false;
    for (rlim_t limit = high + 8 * kMiB; limit < high + 1024 * kMiB && !written;
         limit += 16 * kMiB) {
        const std::string out = folder / "result.ppm";
        std::filesystem::remove(out);
        const CappedRun run = runCapped({folder / "photo.ppm", "-o", out}, limit, err);
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
