// The needs of a pass and the memory probes.
#include "pass_budget.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mesh.h"

int64_t passIdLimit = kLargestId;
uint64_t (*memoryAvailable)() = systemMemoryAvailable;

namespace {

constexpr uint64_t kUnlimited = UINT64_MAX;

// A record of the store is a slot of its pool's slabs; the slab headers are
// a few bytes a megabyte.
template <typename Record>
constexpr uint64_t recordBytes() {
  return (sizeof(Record) + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
}

// The index (stencil_index.h) and the new points worked out from it, at
// their peak: per vertex its record pointer (twice, with the numbering's,
// which may be growing), position, weld and two group starts, and the weld's
// own arrays (vertex_weld.h: 120 bytes at most); per side its corner
// and flag (with vector growth), an entry in each side grouping, its source
// side, and its new point with a mark of its being placed. Meshes with many
// rim sides or crowded vertices take a little more.
constexpr uint64_t kIndexBytesPerVertex = 160;
constexpr uint64_t kIndexBytesPerSide = 56;

// What the viewer needs after the pass: drawing, printing, the next events.
constexpr uint64_t kHeadroom = 16u << 20;

double mebibytes(uint64_t bytes) { return static_cast<double>(bytes) / (1u << 20); }

uint64_t atLeastZero(int64_t value) { return value > 0 ? static_cast<uint64_t>(value) : 0; }

// The whole of a small file into text, NUL-terminated; false when it cannot
// be read. No allocation, so it works when memory has run out.
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

uint64_t addressSpaceAvailable() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  char statm[256];
  if (!readSmallFile("/proc/self/statm", statm, sizeof statm)) return kUnlimited;
  const uint64_t used = std::strtoull(statm, nullptr, 10) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
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

MeshCounts countMesh() {
  MeshCounts counts{};
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) ++counts.faces;
  if (currentEdgesFromPasses()) {
    counts.lastEdgeId = lastEdge(kCurrentGeneration)->id;
  } else {
    for (const Edge* e = currentEdgeHead->next; e != nullptr; e = e->next) ++counts.readerEdges;
  }
  counts.lastVertexId = lastVertex()->id;
  return counts;
}

// The pass adds three vertices, four faces and twelve edges per face. It
// frees the current faces and the reader's edges first, and their records go
// to the new ones.
PassNeeds passNeeds(const MeshCounts& counts) {
  const uint64_t faces = counts.faces;
  PassNeeds needs{};
  needs.lastVertexId = counts.lastVertexId + static_cast<int64_t>(3 * faces);
  needs.lastEdgeId = counts.lastEdgeId + static_cast<int64_t>(12 * faces);
  needs.vertices = 3 * faces;
  needs.edges = 12 * faces > counts.readerEdges ? 12 * faces - counts.readerEdges : 0;
  needs.faces = 3 * faces;
  const uint64_t records = needs.vertices * recordBytes<Vertex>() + needs.edges * recordBytes<Edge>() +
                           needs.faces * recordBytes<Face>();
  const uint64_t index =
      atLeastZero(counts.lastVertexId) * kIndexBytesPerVertex + 3 * faces * kIndexBytesPerSide;
  needs.bytes = records + index + kHeadroom;
  return needs;
}

bool passCanBeMade(const PassNeeds& needs) {
  // A pass's faces, four for each current one, never outnumber its edges,
  // twelve for each, so its face ids stay below its edge ids.
  const char* ids = needs.lastVertexId > passIdLimit ? "vertex"
                    : needs.lastEdgeId > passIdLimit ? "edge"
                                                     : nullptr;
  if (ids != nullptr) {
    std::fprintf(stderr,
                 "subdivision pass not made: its %s ids would pass %lld (it needs %.1f MiB of memory)\n", ids,
                 static_cast<long long>(passIdLimit), mebibytes(needs.bytes));
    return false;
  }
  const uint64_t available = memoryAvailable();
  if (needs.bytes <= available) return true;
  std::fprintf(stderr, "subdivision pass not made: it needs %.1f MiB of memory and %.1f MiB can be had\n",
               mebibytes(needs.bytes), mebibytes(available));
  return false;
}

void reportIndexOutOfMemory(const PassNeeds& needs) {
  std::fprintf(stderr,
               "subdivision pass not made: out of memory for its index (it needs %.1f MiB of memory)\n",
               mebibytes(needs.bytes));
}

void reportRecordsOutOfMemory(const PassNeeds& needs) {
  std::fprintf(stderr,
               "subdivision pass not made: out of memory for its records (it needs %.1f MiB of memory)\n",
               mebibytes(needs.bytes));
}

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

uint64_t systemMemoryAvailable() {
  uint64_t least = addressSpaceAvailable();
  char text[8192];
  if (readSmallFile("/proc/meminfo", text, sizeof text)) least = std::min(least, meminfoAvailable(text));
  if (readSmallFile("/proc/self/cgroup", text, sizeof text))
    least = std::min(least, cgroupAvailable(text, "/sys/fs/cgroup"));
  return least;
}
