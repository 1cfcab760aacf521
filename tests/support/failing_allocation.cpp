#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {

long callsLeft = 0;
bool failed = false;

}  // namespace

void failNewAfter(long count) {
  callsLeft = count;
  failed = false;
}

bool newHasFailed() { return failed; }

void* operator new(std::size_t size) {
  if (callsLeft > 0 && --callsLeft == 0) {
    failed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

// The sanitizers' own operator delete would take these blocks for malloc's.
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
