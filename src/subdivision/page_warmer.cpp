#include "page_warmer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "mesh.h"
#include "platform.h"

namespace {

// Smaller passes fault in few enough huge pages (about 0.2 ms each) that a
// thread's start (up to half a millisecond, the first in a process) costs more.
constexpr std::size_t kWarmFrom = std::size_t(8) << 20;
// The ranges are populated side by side in steps of about this much of the
// largest, as the appends fill them side by side.
constexpr std::size_t kStepBytes = std::size_t(2) << 20;

void warm(const std::vector<MemoryRange>& ranges) {
  std::size_t largest = 0;
  for (const MemoryRange& range : ranges) largest = std::max(largest, range.bytes);
  const std::size_t steps = std::max<std::size_t>(1, largest / kStepBytes);
  for (std::size_t step = 0; step < steps; ++step) {
    for (const MemoryRange& range : ranges) {
      // A system that refuses once refuses every later call.
      const std::size_t from = range.bytes * step / steps;
      const std::size_t to = range.bytes * (step + 1) / steps;
      if (!populatePages(static_cast<unsigned char*>(range.start) + from, to - from)) return;
    }
  }
}

}  // namespace

void startWarming(PageWarmer& warmer, std::size_t vertices, std::size_t edges, std::size_t faces) {
  const std::size_t bytes = vertices * sizeof(Vertex) + edges * sizeof(Edge) + faces * sizeof(Face);
  if (bytes < kWarmFrom || !pagesCanBePopulated()) return;
  try {
    std::vector<MemoryRange> ranges = roomForRecords(vertices, edges, faces);
    std::size_t total = 0;
    for (const MemoryRange& range : ranges) total += range.bytes;
    if (total >= kWarmFrom) warmer.worker = std::thread(warm, std::move(ranges));
  } catch (...) {
    // Out of memory for the list, or no thread to be had.
  }
}

void stopWarming(PageWarmer& warmer) {
  if (warmer.worker.joinable()) warmer.worker.join();
}
