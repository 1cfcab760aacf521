// What every system shares of the huge-page service: the decision whether
// advising a block for huge pages can stall its page faults, made from the
// kernel's texts alone, and the plain heap block of the systems without huge
// pages. Built on every system so that their tests run everywhere.
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace {

// 2 MiB in 4 KiB pages: buddyinfo's blocks of this order or larger are free
// huge pages.
constexpr int kHugePageOrder = 9;

// Whether the chosen word of a sysfs setting, the one in brackets
// ("always [madvise] never"), is word.
bool chosen(const char* setting, const char* word) {
  const char* open = std::strchr(setting, '[');
  if (open == nullptr) return false;
  const std::size_t length = std::strlen(word);
  return std::strncmp(open + 1, word, length) == 0 && open[1 + length] == ']';
}

// The free 2 MiB blocks of every zone: a block of order k holds 2^(k-9).
std::size_t freeHugePages(const char* buddyinfo) {
  std::size_t pages = 0;
  for (const char* line = buddyinfo; *line != '\0';) {
    const char* zone = std::strstr(line, "zone");
    const char* lineEnd = std::strchr(line, '\n');
    if (lineEnd == nullptr) lineEnd = line + std::strlen(line);
    if (zone != nullptr && zone < lineEnd) {
      const char* at = zone + 4;
      while (at < lineEnd && *at == ' ') ++at;
      while (at < lineEnd && *at != ' ') ++at;  // the zone's name
      for (int order = 0; at < lineEnd; ++order) {
        char* end = nullptr;
        const unsigned long long count = std::strtoull(at, &end, 10);
        if (end == at) break;
        if (order >= kHugePageOrder) pages += static_cast<std::size_t>(count) << (order - kHugePageOrder);
        at = end;
      }
    }
    line = *lineEnd == '\n' ? lineEnd + 1 : lineEnd;
  }
  return pages;
}

}  // namespace

bool hugePagesWithoutStall(const char* enabled, const char* defrag, const char* buddyinfo, std::size_t bytes) {
  if (!chosen(enabled, "always") && !chosen(enabled, "madvise")) return false;
  if (chosen(defrag, "defer") || chosen(defrag, "never")) return true;
  const std::size_t pages = bytes / kHugePageBytes + 1;
  return freeHugePages(buddyinfo) >= 2 * pages + kHugePagesKeptFree;
}

bool hugePagesMayCompact(const char* enabled, const char* defrag) {
  return (chosen(enabled, "always") || chosen(enabled, "madvise")) && !chosen(defrag, "defer") &&
         !chosen(defrag, "never");
}

void* takeHeapMemory(std::size_t bytes) { return std::malloc(bytes); }
