// Counting wrappers around glibc's allocator (by symbol interposition: the
// program's malloc is the one every library calls) and mallinfo2, which came
// with glibc 2.33.
#include "bench_memory.h"

// For __GLIBC__.
#include <cstdlib>

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

// The pass frees on its worker threads too (their start-up state), so the
// counts are atomic.
std::atomic<bool> counting{false};
std::atomic<long long> held{0};
std::atomic<long long> peak{0};

// A block costs its usable size plus malloc's size word.
long long blockBytes(void* block) {
  return static_cast<long long>(malloc_usable_size(block) + sizeof(std::size_t));
}

void* counted(void* block) {
  if (counting && block != nullptr) {
    const long long now = held += blockBytes(block);
    long long highest = peak;
    while (now > highest && !peak.compare_exchange_weak(highest, now)) {
    }
  }
  return block;
}

void uncount(void* block) {
  if (counting && block != nullptr) held -= blockBytes(block);
}

}  // namespace

bool heapIsCounted() { return true; }

void startHeapCounting() {
  counting = true;
  peak = held.load();
}

void stopHeapCounting() { counting = false; }

long long countedHeapBytes() { return held; }

long long countedHeapPeak() { return peak; }

std::size_t mallinfoInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

extern "C" {

void* malloc(std::size_t size) { return counted(__libc_malloc(size)); }

void* calloc(std::size_t count, std::size_t size) { return counted(__libc_calloc(count, size)); }

void* realloc(void* block, std::size_t size) {
  uncount(block);
  void* moved = __libc_realloc(block, size);
  // A failed realloc leaves the old block in place.
  return counted(moved != nullptr || size == 0 ? moved : block);
}

void free(void* block) {
  uncount(block);
  __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t size) {
  return counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }

int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
  void* block = memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *result = block;
  return 0;
}

}  // extern "C"

#else

bool heapIsCounted() { return false; }
void startHeapCounting() {}
void stopHeapCounting() {}
long long countedHeapBytes() { return 0; }
long long countedHeapPeak() { return 0; }
std::size_t mallinfoInUse() { return 0; }

#endif
