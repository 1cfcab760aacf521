#include "page_warmer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "mesh.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace {

// Smaller passes fault in little enough that a thread's start costs more.
constexpr std::size_t kWarmFrom = std::size_t(1) << 20;
// The ranges are populated side by side in steps of about this much of the
// largest, as the appends fill them side by side.
constexpr std::size_t kStepBytes = std::size_t(2) << 20;

// False once the kernel refuses (older kernels do not know the advice).
// Only the whole pages inside the range: a page it shares with other memory
// is left to the appends' own faults.
bool populate(uintptr_t begin, uintptr_t end, uintptr_t page) {
  begin = (begin + page - 1) / page * page;
  end = end / page * page;
  if (begin >= end) return true;
  return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
}

void warm(const std::vector<MemoryRange>& ranges) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  std::size_t largest = 0;
  for (const MemoryRange& range : ranges) largest = std::max(largest, range.bytes);
  const std::size_t steps = std::max<std::size_t>(1, largest / kStepBytes);
  for (std::size_t step = 0; step < steps; ++step) {
    for (const MemoryRange& range : ranges) {
      const uintptr_t start = reinterpret_cast<uintptr_t>(range.start);
      if (!populate(start + range.bytes * step / steps, start + range.bytes * (step + 1) / steps,
                    page))
        return;
    }
  }
}

}  // namespace

void startWarming(PageWarmer& warmer, std::size_t vertices, std::size_t edges, std::size_t faces) {
  const std::size_t bytes = vertices * sizeof(Vertex) + edges * sizeof(Edge) + faces * sizeof(Face);
  if (bytes < kWarmFrom) return;
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
