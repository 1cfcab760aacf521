// The platform on Linux: madvise for huge pages (where the kernel's settings
// and free memory say they cannot stall, or while a probed fault has not
// stalled) and for populating pages, getrlimit, /proc and the control group files for the memory the process
// can still have, stat for directories.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>

#include "platform.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace {

uintptr_t pageBytes() { return static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)); }

enum class HugePageAdvice { None, Whole, Probed };

// Set once a probed fault of this process stalled; read and set from every
// thread that takes memory.
std::atomic<bool> faultStalled{false};

// The settings and free blocks are read for every block, not once, as they
// change while the program runs (other processes take and free memory); a
// block is advised seldom enough (a pass takes a few dozen) for the three
// small reads not to count.
HugePageAdvice hugePageAdvice(std::size_t bytes) {
  char enabled[128], defrag[128], buddyinfo[2048];
  if (!readSmallFile("/sys/kernel/mm/transparent_hugepage/enabled", enabled, sizeof enabled)) return HugePageAdvice::None;
  if (!readSmallFile("/sys/kernel/mm/transparent_hugepage/defrag", defrag, sizeof defrag)) return HugePageAdvice::None;
  if (!readSmallFile("/proc/buddyinfo", buddyinfo, sizeof buddyinfo)) buddyinfo[0] = '\0';
  if (hugePagesWithoutStall(enabled, defrag, buddyinfo, bytes)) return HugePageAdvice::Whole;
  if (hugePagesMayCompact(enabled, defrag) && !faultStalled.load(std::memory_order_relaxed))
    return HugePageAdvice::Probed;
  return HugePageAdvice::None;
}

// The block's bytes are not set, so writing the probe's byte changes nothing
// a caller relies on, and the caller would fault that page in next anyway.
void adviseHugePages(void* memory, std::size_t bytes) {
  const uintptr_t start = reinterpret_cast<uintptr_t>(memory);
  const uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  const uintptr_t last = (start + bytes) / kHugePageBytes * kHugePageBytes;
  if (first >= last) return;
  const HugePageAdvice advice = hugePageAdvice(bytes);
  if (advice == HugePageAdvice::None) return;
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  if (advice == HugePageAdvice::Whole) return;
  const auto before = std::chrono::steady_clock::now();
  *reinterpret_cast<volatile char*>(first) = 0;
  const std::chrono::duration<double, std::milli> fault = std::chrono::steady_clock::now() - before;
  if (fault.count() <= kStalledFaultMs) return;
  faultStalled.store(true, std::memory_order_relaxed);
  if (first + kHugePageBytes < last)
    madvise(reinterpret_cast<void*>(first + kHugePageBytes), last - first - kHugePageBytes, MADV_NOHUGEPAGE);
}

uint64_t addressSpaceAvailable() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  char statm[256];
  if (!readSmallFile("/proc/self/statm", statm, sizeof statm)) return UINT64_MAX;
  const uint64_t used = std::strtoull(statm, nullptr, 10) * pageBytes();
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::size_t hugeMemoryBytes(std::size_t bytes) {
  if (bytes > SIZE_MAX - kHugePageBytes) return bytes;
  return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

void* takeHugeMemory(std::size_t bytes) {
  if (bytes > SIZE_MAX - kHugePageBytes) return nullptr;
  const std::size_t whole = hugeMemoryBytes(bytes);
  void* memory = nullptr;
  if (posix_memalign(&memory, kHugePageBytes, whole) != 0) return nullptr;
  adviseHugePages(memory, whole);
  return memory;
}

// The alignment costs no heap bytes once the call returns: the allocator cuts
// the aligned block out of a larger one, and shrinking it in place gives back
// the room after it (the room before it stays reserved address space, never
// touched).
void* takeAlignedHugeMemory(std::size_t bytes) {
  void* memory = nullptr;
  if (posix_memalign(&memory, kHugePageBytes, bytes) != 0) return nullptr;
  // A shrink that fails or moves the block (as a sanitizer's allocator does)
  // still leaves a valid block; only the advice may then cover less.
  void* shrunk = std::realloc(memory, bytes);
  if (shrunk != nullptr) memory = shrunk;
  adviseHugePages(memory, bytes);
  return memory;
}

bool pagesCanBePopulated() { return true; }

bool populatePages(void* start, std::size_t bytes) {
  const uintptr_t page = pageBytes();
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(start) + page - 1) / page * page;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + bytes) / page * page;
  if (begin >= end) return true;
  return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE) == 0;
}

bool isDirectory(const char* path) {
  struct stat info {};
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool readSmallFile(const char* path, char* text, std::size_t size) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t filled = 0;
  while (filled + 1 < size) {
    const ssize_t got = read(fd, text + filled, size - 1 - filled);
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  close(fd);
  text[filled] = '\0';
  return filled > 0;
}

uint64_t systemMemoryAvailable() {
  uint64_t least = addressSpaceAvailable();
  char text[8192];
  if (readSmallFile("/proc/meminfo", text, sizeof text)) least = std::min(least, meminfoAvailable(text));
  if (readSmallFile("/proc/self/cgroup", text, sizeof text))
    least = std::min(least, cgroupAvailable(text, "/sys/fs/cgroup"));
  return least;
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

void setBinaryMode(std::FILE*) {}

bool replaceFile(const char* from, const char* to) { return std::rename(from, to) == 0; }
