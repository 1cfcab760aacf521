// BigArray: std::vector for the large flat arrays the store's helpers and the
// subdivision pass build and drop within one call (indexes, hash tables).
// An array of several megabytes is written right after it is taken, so its
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
constexpr std::size_t kHugePagesFrom = 4 * kHugePageBytes;

// Memory for `bytes` bytes, aligned to and rounded up to whole huge pages and
// advised as such when it is at least kHugePagesFrom; nullptr when it cannot
// be had. roundedBytes receives the usable size.
inline void* takeHugeMemory(std::size_t bytes, std::size_t& roundedBytes) {
  roundedBytes = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  void* memory = std::aligned_alloc(kHugePageBytes, roundedBytes);
  if (memory != nullptr) madvise(memory, roundedBytes, MADV_HUGEPAGE);
  return memory;
}

template <typename T>
struct BigArrayAllocator {
  using value_type = T;

  BigArrayAllocator() = default;
  template <typename U>
  BigArrayAllocator(const BigArrayAllocator<U>&) {}

  T* allocate(std::size_t n) {
    if (n > (SIZE_MAX - kHugePageBytes) / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kHugePagesFrom) return static_cast<T*>(::operator new(bytes));
    std::size_t rounded;
    void* memory = takeHugeMemory(bytes, rounded);
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
