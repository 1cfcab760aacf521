// The text parsers of Linux's memory probe. They are plain text and file
// reading, built on every system so that their tests run everywhere.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace {

constexpr uint64_t kUnlimited = UINT64_MAX;

// The value of a "Key:   123 kB" line of /proc/meminfo, in bytes.
bool meminfoField(const char* meminfo, const char* key, uint64_t& bytes) {
  const std::size_t keyLength = std::strlen(key);
  for (const char* line = meminfo; line != nullptr && *line != '\0';) {
    if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
      char* end = nullptr;
      const unsigned long long value = std::strtoull(line + keyLength + 1, &end, 10);
      while (*end == ' ') ++end;
      bytes = std::strncmp(end, "kB", 2) == 0 ? value * 1024 : value;
      return true;
    }
    line = std::strchr(line, '\n');
    if (line != nullptr) ++line;
  }
  return false;
}

// A file holding one number; false for anything else, v2's "max" included.
bool readGroupNumber(const char* dir, const char* name, uint64_t& value) {
  char path[4096];
  char text[64];
  if (std::snprintf(path, sizeof path, "%s/%s", dir, name) >= static_cast<int>(sizeof path)) return false;
  if (!readSmallFile(path, text, sizeof text)) return false;
  char* end = nullptr;
  value = std::strtoull(text, &end, 10);
  return end != text;
}

uint64_t groupHeadroom(const char* dir, const char* limitFile, const char* usageFile) {
  uint64_t limit = kUnlimited;
  uint64_t usage = 0;
  if (!readGroupNumber(dir, limitFile, limit)) return kUnlimited;
  if (!readGroupNumber(dir, usageFile, usage)) return kUnlimited;
  return limit > usage ? limit - usage : 0;
}

// A limit anywhere above the group applies to it too, so every ancestor up to
// the mount's root is read.
uint64_t hierarchyHeadroom(const char* mount, const char* path, std::size_t pathLength, const char* limitFile,
                           const char* usageFile) {
  char dir[4096];
  const int written = std::snprintf(dir, sizeof dir, "%s%.*s", mount, static_cast<int>(pathLength), path);
  if (written < 0 || written >= static_cast<int>(sizeof dir)) return kUnlimited;
  const std::size_t mountLength = std::strlen(mount);
  uint64_t least = kUnlimited;
  while (true) {
    least = std::min(least, groupHeadroom(dir, limitFile, usageFile));
    char* slash = std::strrchr(dir + mountLength, '/');
    if (slash == nullptr) return least;
    *slash = '\0';
  }
}

bool listsController(const char* controllers, std::size_t length, const char* name) {
  const std::size_t nameLength = std::strlen(name);
  for (std::size_t start = 0; start < length;) {
    std::size_t end = start;
    while (end < length && controllers[end] != ',') ++end;
    if (end - start == nameLength && std::strncmp(controllers + start, name, nameLength) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

uint64_t meminfoAvailable(const char* meminfo) {
  uint64_t available = 0;
  uint64_t swapFree = 0;
  if (!meminfoField(meminfo, "MemAvailable", available)) return kUnlimited;
  meminfoField(meminfo, "SwapFree", swapFree);
  return available + swapFree;
}

uint64_t cgroupAvailable(const char* procSelfCgroup, const char* root) {
  char unifiedMount[4096];
  char memoryMount[4096];
  std::snprintf(unifiedMount, sizeof unifiedMount, "%s/unified", root);
  std::snprintf(memoryMount, sizeof memoryMount, "%s/memory", root);
  uint64_t least = kUnlimited;
  for (const char* line = procSelfCgroup; *line != '\0';) {
    const char* lineEnd = std::strchr(line, '\n');
    if (lineEnd == nullptr) lineEnd = line + std::strlen(line);
    const char* first = static_cast<const char*>(std::memchr(line, ':', lineEnd - line));
    const char* second =
        first ? static_cast<const char*>(std::memchr(first + 1, ':', lineEnd - first - 1)) : nullptr;
    if (second != nullptr) {
      const char* path = second + 1;
      const std::size_t pathLength = lineEnd - path;
      const std::size_t controllersLength = second - first - 1;
      if (controllersLength == 0) {
        least = std::min(least, hierarchyHeadroom(root, path, pathLength, "memory.max", "memory.current"));
        least = std::min(least,
                         hierarchyHeadroom(unifiedMount, path, pathLength, "memory.max", "memory.current"));
      } else if (listsController(first + 1, controllersLength, "memory")) {
        least = std::min(least, hierarchyHeadroom(memoryMount, path, pathLength, "memory.limit_in_bytes",
                                                  "memory.usage_in_bytes"));
      }
    }
    line = *lineEnd == '\n' ? lineEnd + 1 : lineEnd;
  }
  return least;
}
