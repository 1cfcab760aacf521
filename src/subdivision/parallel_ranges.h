// Runs a pass's phases on every core: a range of items is cut into one
// contiguous piece per worker and each piece handed to the same work, or two
// independent tasks run side by side. The workers read what they share and
// write only what is theirs; all of them have ended when the call returns,
// so the GLUT loop never sees a second thread. Small work stays on the
// calling thread, where a thread's start would cost more than it saves.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

// Items below this many stay on one thread.
constexpr std::size_t kParallelFrom = std::size_t(1) << 15;
constexpr unsigned kMostWorkers = 8;

// work(begin, end) for pieces that cover [0, count) and start at multiples of
// `grain`. A worker that cannot be started leaves its piece to the caller.
// Throws std::bad_alloc, before any worker starts, when its lists cannot be
// had (never for one piece, which allocates nothing); work must not throw.
template <typename Work>
void forEachPiece(std::size_t count, std::size_t grain, Work work) {
  const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostWorkers));
  const std::size_t pieces = count < kParallelFrom ? 1 : cores;
  if (pieces == 1) {
    work(std::size_t(0), count);
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
      workers.emplace_back(work, bound(piece), bound(piece + 1));
    } catch (...) {
      leftToCaller.push_back(piece);
    }
  }
  work(bound(0), bound(1));
  for (std::size_t piece : leftToCaller) work(bound(piece), bound(piece + 1));
  for (std::thread& worker : workers) worker.join();
}

// Tasks over fewer items than this stay on one thread; a task that welds or
// gathers a few thousand vertices takes far longer than a thread's start.
constexpr std::size_t kBesideFrom = std::size_t(1) << 12;

// beside() on a second thread while the caller runs work(), when `items`
// make it worth a thread; one after the other otherwise, or when the thread
// cannot be started. Either may throw (a thread cannot throw into its
// caller): one exception reaches the caller, once both have ended, or once
// beside has thrown when they run one after the other.
template <typename Beside, typename Work>
void runBeside(std::size_t items, Beside beside, Work work) {
  std::exception_ptr besideFailed;
  std::thread worker;
  if (items >= kBesideFrom) {
    try {
      worker = std::thread([&] {
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
