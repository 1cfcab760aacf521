// Runs a pass's phases on every core: a range of items is cut into one
// contiguous piece per worker and each piece handed to the same work, or two
// independent tasks run side by side. The workers read what they share and
// write only what is theirs; all of them have ended when the call returns,
// so the GLUT loop never sees a second thread. Small work stays on the
// calling thread, where a thread's start would cost more than it saves.
//
// A caller that must be able to stop a pass (the Python module, on Ctrl-C)
// points passStop at a flag of its own on the thread that runs the pass.
// While it does, every piece is worked in slices, the flag is read between
// slices, and once it is set the loop throws PassStopped when its workers
// have ended; what the loop wrote is then incomplete, and the pass drops it.
// Without a flag the loops work as if there were none.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

#include "platform.h"

// Thrown by forEachPiece when the calling thread's stop flag is set.
struct PassStopped {};

// The calling thread's stop flag; null (the default) when nothing stops it.
inline thread_local const std::atomic<bool>* passStop = nullptr;

// Items a worker takes between two looks at the stop flag: some tens of
// milliseconds of the slowest phase. Slices much smaller cost the classic
// rule its shortcut of placing a side's twin with it, which must lie in the
// same call's range.
constexpr std::size_t kStopSlice = std::size_t(1) << 18;

// work(begin, end) over [begin, end) in slices of whole grains, until stop
// is set.
template <typename Work>
void workUntilStopped(std::size_t begin, std::size_t end, std::size_t grain, const std::atomic<bool>* stop,
                      Work& work) {
  if (stop == nullptr) {
    work(begin, end);
    return;
  }
  const std::size_t slice = (kStopSlice + grain - 1) / grain * grain;
  for (std::size_t from = begin; from < end && !stop->load(std::memory_order_relaxed); from += slice)
    work(from, std::min(end, from + slice));
}

// Items below this many stay on one thread.
constexpr std::size_t kParallelFrom = std::size_t(1) << 15;
constexpr unsigned kMostWorkers = 8;

// work(begin, end) for pieces that cover [0, count) and start at multiples of
// `grain`. A worker that cannot be started leaves its piece to the caller.
// Throws std::bad_alloc, before any worker starts, when its lists cannot be
// had (never for one piece, which allocates nothing); work must not throw.
// Throws PassStopped, with no worker left running, when the calling thread's
// stop flag is set before or while the pieces are worked.
template <typename Work>
void forEachPiece(std::size_t count, std::size_t grain, Work work) {
  const std::atomic<bool>* stop = passStop;
  const auto stopped = [stop] { return stop != nullptr && stop->load(); };
  if (stopped()) throw PassStopped();
  const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostWorkers));
  const std::size_t pieces = count < kParallelFrom ? 1 : cores;
  if (pieces == 1) {
    workUntilStopped(0, count, grain, stop, work);
    if (stopped()) throw PassStopped();
    return;
  }
  const std::size_t grains = (count + grain - 1) / grain;
  const auto bound = [&](std::size_t piece) {
    return std::min(count, grains * piece / pieces * grain);
  };
  // Reserved before any worker starts, so that nothing below can throw
  // while one runs (a joinable thread destroyed by an exception ends the
  // program).
  std::vector<std::thread> workers;
  std::vector<std::size_t> leftToCaller;
  workers.reserve(pieces);
  leftToCaller.reserve(pieces);
  for (std::size_t piece = 1; piece < pieces; ++piece) {
    try {
      workers.emplace_back([&, piece] { workUntilStopped(bound(piece), bound(piece + 1), grain, stop, work); });
    } catch (...) {
      leftToCaller.push_back(piece);
    }
  }
  workUntilStopped(bound(0), bound(1), grain, stop, work);
  for (std::size_t piece : leftToCaller) workUntilStopped(bound(piece), bound(piece + 1), grain, stop, work);
  for (std::thread& worker : workers) worker.join();
  if (stopped()) throw PassStopped();
}

// Tasks over fewer items than this stay on one thread; a task that welds or
// gathers a few thousand vertices takes far longer than a thread's start.
constexpr std::size_t kBesideFrom = std::size_t(1) << 12;

// beside() on a second thread while the caller runs work(), when `items`
// make it worth a thread; one after the other otherwise, or when the thread
// cannot be started. Either may throw (a thread cannot throw into its
// caller): one exception reaches the caller, once both have ended, or once
// beside has thrown when they run one after the other. The second thread
// answers to the caller's stop flag.
template <typename Beside, typename Work>
void runBeside(std::size_t items, Beside beside, Work work) {
  std::exception_ptr besideFailed;
  std::thread worker;
  const std::atomic<bool>* stop = passStop;
  if (items >= kBesideFrom) {
    try {
      worker = std::thread([&] {
        passStop = stop;
        try {
          beside();
        } catch (...) {
          besideFailed = std::current_exception();
        }
      });
    } catch (...) {
      // No thread: beside runs here below.
    }
  }
  if (!worker.joinable()) {
    beside();
    work();
    return;
  }
  try {
    work();
  } catch (...) {
    worker.join();
    throw;
  }
  worker.join();
  if (besideFailed) std::rethrow_exception(besideFailed);
}

// Faults the pages of an array just taken in on every core, so that its
// first writes neither wait for them one at a time nor on one core.
template <typename T>
void populateOnEveryCore(T* data, std::size_t count) {
  if (count < kParallelFrom || !pagesCanBePopulated()) return;
  constexpr std::size_t kPageItems = (std::size_t(2) << 20) / sizeof(T);
  forEachPiece(count, kPageItems, [data](std::size_t begin, std::size_t end) {
    populatePages(data + begin, (end - begin) * sizeof(T));
  });
}
