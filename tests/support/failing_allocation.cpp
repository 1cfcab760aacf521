#include "failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

// Atomic: the pass allocates on worker threads too.
std::atomic<long> callsLeft{0};
std::atomic<bool> failOnAnotherThread{false};
std::atomic<bool> failed{false};
std::thread::id sparedThread;

}  // namespace

void failNewAfter(long count) {
  failOnAnotherThread = false;
  failed = false;
  callsLeft = count;
}

void failNewOnAnotherThread() {
  failNewAfter(0);
  sparedThread = std::this_thread::get_id();
  failOnAnotherThread = true;
}

bool newHasFailed() { return failed; }

void* operator new(std::size_t size) {
  if (callsLeft.load() > 0 && callsLeft.fetch_sub(1) == 1) {
    failed = true;
    throw std::bad_alloc();
  }
  if (failOnAnotherThread.load() && std::this_thread::get_id() != sparedThread &&
      failOnAnotherThread.exchange(false)) {
    failed = true;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

// The sanitizers' own operator delete would take these blocks for malloc's.
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
