// BigArray: std::vector for the large flat arrays the store's helpers and the
// subdivision pass build and drop within one call (indexes, hash tables).
// An array of kHugePagesFrom bytes or more is written right after it is
// taken, so its cost is mostly first-touch page faults, and it comes from
// takeHugeMemory (platform.h), which asks for huge pages only where the
// system has them free to give without compacting memory inside a fault, and
// otherwise takes the pages unadvised memory gets. Smaller arrays come from
// operator new as usual. The array owns its memory as any vector does, and
// its elements are value-initialised as a vector's are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "platform.h"

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
