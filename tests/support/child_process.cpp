#include "support/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace qorva::test {

ChildEnd runInChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    ChildEnd end;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return end;
    if (WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    return end;
}

std::size_t addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        unsigned long long kb = 0;
        if (std::sscanf(line.c_str(), "VmSize: %llu kB", &kb) == 1)
            return static_cast<std::size_t>(kb) * 1024;
    }
    return 0;
}

namespace {

bool setSoftLimit(rlim_t soft) {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0) return false;
    limit.rlim_cur = soft;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

}  // namespace

bool capAddressSpace(std::size_t bytes) {
    return setSoftLimit(static_cast<rlim_t>(bytes));
}

bool liftAddressSpaceCap() {
    rlimit limit{};
    return getrlimit(RLIMIT_AS, &limit) == 0 && setSoftLimit(limit.rlim_max);
}

}  // namespace qorva::test
