// BigArray: std::vector for the large flat arrays the store's helpers and the
// subdivision pass build and drop within one call (indexes, hash tables).
// An array of 4 MiB or more is written right after it is taken, so its
// cost is mostly first-touch page faults; where a fault costs much more than
// clearing a page (the virtual machines this was measured on), asking for
// transparent huge pages makes one fault per 2 MiB instead of per 4 KiB.
// Smaller arrays come from operator new as usual. The array owns its memory
// as any vector does.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;
constexpr std::size_t kHugePagesFrom = 2 * kHugePageBytes;

// Memory for a block of at least kHugePagesFrom bytes from malloc, the whole
// huge pages inside it advised as such; the block is not aligned or rounded
// (which would cost up to a huge page per block), so its ends stay in small
// pages. nullptr when it cannot be had; given back with std::free.
inline void* takeHugeMemory(std::size_t bytes) {
  void* memory = std::malloc(bytes);
  if (memory == nullptr) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(memory);
  const uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  const uintptr_t last = (start + bytes) / kHugePageBytes * kHugePageBytes;
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  return memory;
}

// takeHugeMemory's block, but starting on a huge page, for blocks whose size
// is a whole number of huge pages, so that none of it lies in small ones. The
// alignment costs no heap bytes once the call returns: the allocator cuts the
// aligned block out of a larger one, and shrinking it in place gives back the
// room after it (the room before it stays reserved address space, never
// touched). While the call runs the heap holds up to a huge page more, which
// is why blocks taken while a pass's memory peaks do not come from here.
inline void* takeAlignedHugeMemory(std::size_t bytes) {
  void* memory = nullptr;
  if (posix_memalign(&memory, kHugePageBytes, bytes) != 0) return nullptr;
  // A shrink that fails or moves the block (as a sanitizer's allocator does)
  // still leaves a valid block; only the advice below may then cover less.
  void* shrunk = std::realloc(memory, bytes);
  if (shrunk != nullptr) memory = shrunk;
  const uintptr_t start = reinterpret_cast<uintptr_t>(memory);
  const uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  const uintptr_t last = (start + bytes) / kHugePageBytes * kHugePageBytes;
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  return memory;
}

template <typename T>
struct BigArrayAllocator {
  using value_type = T;

  BigArrayAllocator() = default;
  template <typename U>
  BigArrayAllocator(const BigArrayAllocator<U>&) {}

  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kHugePagesFrom) return static_cast<T*>(::operator new(bytes));
    void* memory = takeHugeMemory(bytes);
    if (memory == nullptr) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }

  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < kHugePagesFrom) {
      ::operator delete(p);
    } else {
      std::free(p);
    }
  }

  template <typename U>
  bool operator==(const BigArrayAllocator<U>&) const { return true; }
  template <typename U>
  bool operator!=(const BigArrayAllocator<U>&) const { return false; }
};

template <typename T>
using BigArray = std::vector<T, BigArrayAllocator<T>>;
