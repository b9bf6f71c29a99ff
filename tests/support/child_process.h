// Test cases that must run in a process of their own: a capped address space (a 32-bit host, a
// machine without memory to spare), a limit on file sizes (a full disk), another user. The
// limits then hold for the child only, and a crash there fails the case instead of the suite.
// POSIX only.
#pragma once

#include <cstddef>
#include <functional>

// AddressSanitizer reserves terabytes of address space up front: no cap can apply under it.
#if defined(__SANITIZE_ADDRESS__)
#define QORVA_TEST_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QORVA_TEST_ADDRESS_SANITIZER 1
#endif
#endif

namespace qorva::test {

struct ChildEnd {
    int exitCode = -1;  // what the body returned; -1 when the child did not start or not exit
    int signal = 0;     // the signal that ended the child, 0 when none did
};

// Runs body in a forked child and waits for it. The child leaves with _exit(body()), so that
// nothing of the parent's (exit handlers, buffered output, the test framework's results) runs
// twice.
ChildEnd runInChild(const std::function<int()>& body);

// The address space this process holds now (VmSize), 0 when it cannot be read.
std::size_t addressSpaceInUse();

// Caps this process's address space at `bytes` (the soft limit; the hard one stays, so that
// liftAddressSpaceCap can undo it). Only for a child. False when the system refuses.
bool capAddressSpace(std::size_t bytes);
bool liftAddressSpaceCap();

}  // namespace qorva::test
