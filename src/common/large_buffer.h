// Image-sized working blocks: planes, copies and scratch images of a whole photo. On Linux they
// are aligned to 2 MiB and marked for transparent huge pages, so that a fresh 100 MB plane costs
// a few dozen page faults instead of 25 000 (on a virtual machine the difference between a few
// milliseconds and half a second per plane). Elsewhere they are plain heap blocks. Like new T[n],
// the contents start undefined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

namespace qorva {

// Throws std::bad_alloc when the block cannot be had. Blocks must be released with the byte
// count they were allocated with.
void* allocateLargeBlock(std::size_t bytes);
// nothrow form: nullptr when the block cannot be had.
void* tryAllocateLargeBlock(std::size_t bytes) noexcept;
void releaseLargeBlock(void* block, std::size_t bytes) noexcept;

template <class T>
struct LargeArrayDeleter {
    std::size_t bytes = 0;
    void operator()(T* block) const noexcept { releaseLargeBlock(block, bytes); }
};

template <class T>
using LargeArray = std::unique_ptr<T[], LargeArrayDeleter<T>>;

// count elements of a trivial type. Throws std::bad_array_new_length when the byte count does not
// fit in size_t, std::bad_alloc when memory runs out.
template <class T>
LargeArray<T> makeLargeArray(std::size_t count) {
    static_assert(std::is_trivially_default_constructible_v<T> &&
                  std::is_trivially_destructible_v<T>);
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = count * sizeof(T);
    return LargeArray<T>(static_cast<T*>(allocateLargeBlock(bytes)), LargeArrayDeleter<T>{bytes});
}

}  // namespace qorva
