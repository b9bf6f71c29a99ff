#include "common/large_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qorva {
namespace {

#if defined(__linux__)
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Smaller blocks gain little from huge pages and would waste most of one.
constexpr std::size_t kHugeThreshold = std::size_t{4} << 20;

bool usesHugePages(std::size_t bytes) { return bytes >= kHugeThreshold; }
#endif

}  // namespace

void* tryAllocateLargeBlock(std::size_t bytes) noexcept {
    if (bytes == 0) bytes = 1;
#if defined(__linux__)
    if (usesHugePages(bytes)) {
        void* block = ::operator new(bytes, std::align_val_t{kHugePage}, std::nothrow);
        // Only a hint: where the kernel offers no huge pages the block works as it is.
        if (block != nullptr) madvise(block, bytes, MADV_HUGEPAGE);
        return block;
    }
#endif
    return ::operator new(bytes, std::nothrow);
}

void* allocateLargeBlock(std::size_t bytes) {
    void* block = tryAllocateLargeBlock(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void releaseLargeBlock(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) return;
    if (bytes == 0) bytes = 1;
#if defined(__linux__)
    if (usesHugePages(bytes)) {
        ::operator delete(block, std::align_val_t{kHugePage});
        return;
    }
#endif
    ::operator delete(block);
}

}  // namespace qorva
