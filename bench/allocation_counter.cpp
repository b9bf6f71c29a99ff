#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace qorva::bench {
namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

// Every block carries its size in front, padded to the block's alignment, so that the unsized
// deletes can subtract it too.
void* countedAllocate(std::size_t size, std::size_t align) {
    if (align < alignof(std::max_align_t)) align = alignof(std::max_align_t);
    if (size > static_cast<std::size_t>(-1) - align) return nullptr;
    void* block = nullptr;
    if (posix_memalign(&block, align, size + align) != 0) return nullptr;
    auto* base = static_cast<unsigned char*>(block);
    *reinterpret_cast<std::size_t*>(base + align - sizeof(std::size_t)) = size;
    const std::size_t live = gLive.fetch_add(size) + size;
    std::size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    return base + align;
}

void countedFree(void* p, std::size_t align) {
    if (p == nullptr) return;
    if (align < alignof(std::max_align_t)) align = alignof(std::max_align_t);
    auto* user = static_cast<unsigned char*>(p);
    unsigned char* base = user - align;
    gLive.fetch_sub(*reinterpret_cast<std::size_t*>(user - sizeof(std::size_t)));
    std::free(base);
}

void* allocateOrThrow(std::size_t size, std::size_t align) {
    void* p = countedAllocate(size, align);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

std::size_t liveBytes() {
    return gLive.load();
}
std::size_t peakBytes() {
    return gPeak.load();
}
void resetPeak() {
    gPeak.store(gLive.load());
}

}  // namespace qorva::bench

using qorva::bench::allocateOrThrow;
using qorva::bench::countedAllocate;
using qorva::bench::countedFree;

void* operator new(std::size_t size) {
    return allocateOrThrow(size, 0);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size, 0);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return allocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return countedAllocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return countedAllocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept {
    countedFree(p, 0);
}
void operator delete[](void* p) noexcept {
    countedFree(p, 0);
}
void operator delete(void* p, std::size_t) noexcept {
    countedFree(p, 0);
}
void operator delete[](void* p, std::size_t) noexcept {
    countedFree(p, 0);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    countedFree(p, 0);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    countedFree(p, 0);
}
void operator delete(void* p, std::align_val_t a) noexcept {
    countedFree(p, static_cast<std::size_t>(a));
}
void operator delete[](void* p, std::align_val_t a) noexcept {
    countedFree(p, static_cast<std::size_t>(a));
}
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept {
    countedFree(p, static_cast<std::size_t>(a));
}
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept {
    countedFree(p, static_cast<std::size_t>(a));
}
void operator delete(void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
    countedFree(p, static_cast<std::size_t>(a));
}
void operator delete[](void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
    countedFree(p, static_cast<std::size_t>(a));
}
