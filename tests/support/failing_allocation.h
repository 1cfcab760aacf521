// An operator new for the test programs that can be told to fail, for the
// tests of what the reader and the pass do when memory runs out. Every test
// program gets it; it fails nothing until failNewAfter asks.
#pragma once

#include <gtest/gtest.h>

#include <string>

// The count-th call of operator new from now on throws std::bad_alloc (1:
// the next one); later calls succeed again. 0 or less: none fails.
void failNewAfter(long count);

// The next call of operator new made on a thread other than the one calling
// this throws std::bad_alloc (a worker of the pass); calls on this thread
// succeed. failNewAfter(0) takes it back.
void failNewOnAnotherThread();

// Whether the call set by failNewAfter or failNewOnAnotherThread has come and
// failed.
bool newHasFailed();

// What an action did while its failAt-th allocation failed: whether that
// allocation came at all (if not, the action ran as it normally does), and
// what it wrote to standard error.
struct FailedRun {
  bool failed;
  std::string said;
};

template <typename Action>
FailedRun runWithFailingAllocation(long failAt, Action action) {
  testing::internal::CaptureStderr();
  failNewAfter(failAt);
  action();
  const bool failed = newHasFailed();
  failNewAfter(0);
  return {failed, testing::internal::GetCapturedStderr()};
}
