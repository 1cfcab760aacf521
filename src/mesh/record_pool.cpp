#include "record_pool.h"

#include <cstdint>
#include <cstdlib>

#include "platform.h"

// The records follow the header; its pointer-sized fields keep them aligned
// for every record type of the store.
struct PoolSlab {
  PoolSlab* next;
  std::size_t capacity;  // records it holds
  std::size_t cut;       // records handed out of it since it was last reset
};

namespace {

// Slabs taken one at a time double from the first size to the last, so a
// small model holds little unused room and a large one few slabs. Their
// sizes are powers of two (header included, up to less than a record), so
// from 2 MiB on a slab is whole huge pages and, aligned to them, none of it
// lies in small ones, whose first touch costs about ten times more per byte
// (a load of a large model took half its time in such faults).
constexpr std::size_t kFirstSlabBytes = std::size_t(64) << 10;
constexpr std::size_t kLastSlabBytes = std::size_t(16) << 20;

std::size_t recordsIn(const RecordPool& pool, std::size_t slabBytes) {
  return (slabBytes - sizeof(PoolSlab)) / pool.recordSize;
}

// The power of two the next single-record slab was cut to.
std::size_t slabBytesFor(const RecordPool& pool) {
  std::size_t bytes = kFirstSlabBytes;
  while (bytes < sizeof(PoolSlab) + pool.slabRecords * pool.recordSize) bytes *= 2;
  return bytes;
}

unsigned char* recordsOf(PoolSlab* slab) { return reinterpret_cast<unsigned char*>(slab + 1); }

// A count too large for the address space gets nullptr without asking the
// heap. A slab taken one at a time (growing) is a power of two bytes: from
// one huge page on it starts on one. A reserved slab is filled right after it
// is taken, so from a quarter of kHugePagesFrom on it is faster in huge pages
// (platform.h); the room its last huge page holds after the records asked
// for is cut into records too, spare for the next pass instead of unused.
PoolSlab* newSlab(const RecordPool& pool, std::size_t capacity, bool growing) {
  if (capacity > (SIZE_MAX - sizeof(PoolSlab)) / pool.recordSize) return nullptr;
  std::size_t bytes = sizeof(PoolSlab) + capacity * pool.recordSize;
  void* memory = nullptr;
  if (growing && bytes + pool.recordSize > kHugePageBytes) {
    memory = takeAlignedHugeMemory(bytes);
  } else if (!growing && bytes >= kHugePagesFrom / 4) {
    capacity = (hugeMemoryBytes(bytes) - sizeof(PoolSlab)) / pool.recordSize;
    bytes = sizeof(PoolSlab) + capacity * pool.recordSize;
    memory = takeHugeMemory(bytes);
  } else {
    memory = std::malloc(bytes);
  }
  if (memory == nullptr) return nullptr;
  auto* slab = static_cast<PoolSlab*>(memory);
  slab->next = nullptr;
  slab->capacity = capacity;
  slab->cut = 0;
  poisonMemory(recordsOf(slab), capacity * pool.recordSize);
  return slab;
}

void appendSlab(RecordPool& pool, PoolSlab* slab) {
  if (pool.lastSlab == nullptr) {
    pool.firstSlab = slab;
  } else {
    pool.lastSlab->next = slab;
  }
  pool.lastSlab = slab;
  if (pool.filling == nullptr) pool.filling = slab;
  pool.spare += slab->capacity;
}

void freeSlab(const RecordPool& pool, PoolSlab* slab) {
  unpoisonMemory(recordsOf(slab), slab->capacity * pool.recordSize);
  std::free(slab);
}

}  // namespace

RecordPool makeRecordPool(std::size_t recordSize) {
  RecordPool pool{};
  pool.recordSize = recordSize;
  pool.slabRecords = recordsIn(pool, kFirstSlabBytes);
  return pool;
}

void* takeRecord(RecordPool& pool) {
  if (pool.freeList != nullptr) {
    void* record = pool.freeList;
    unpoisonMemory(record, pool.recordSize);
    pool.freeList = *static_cast<void**>(record);
    --pool.spare;
    return record;
  }
  while (pool.filling != nullptr && pool.filling->cut == pool.filling->capacity &&
         pool.filling->next != nullptr)
    pool.filling = pool.filling->next;
  if (pool.filling == nullptr || pool.filling->cut == pool.filling->capacity) {
    PoolSlab* slab = newSlab(pool, pool.slabRecords, true);
    if (slab == nullptr) return nullptr;
    appendSlab(pool, slab);
    pool.filling = slab;
    const std::size_t nextBytes = 2 * slabBytesFor(pool);
    if (nextBytes <= kLastSlabBytes) pool.slabRecords = recordsIn(pool, nextBytes);
  }
  void* record = recordsOf(pool.filling) + pool.filling->cut++ * pool.recordSize;
  unpoisonMemory(record, pool.recordSize);
  --pool.spare;
  return record;
}

void giveRecord(RecordPool& pool, void* record) {
  *static_cast<void**>(record) = pool.freeList;
  pool.freeList = record;
  poisonMemory(record, pool.recordSize);
  ++pool.spare;
}

void giveAllRecords(RecordPool& pool) {
  pool.spare = 0;
  for (PoolSlab* slab = pool.firstSlab; slab != nullptr; slab = slab->next) {
    poisonMemory(recordsOf(slab), slab->cut * pool.recordSize);
    slab->cut = 0;
    pool.spare += slab->capacity;
  }
  pool.filling = pool.firstSlab;
  pool.freeList = nullptr;
}

void releaseSlabs(RecordPool& pool) {
  PoolSlab* slab = pool.firstSlab;
  while (slab != nullptr) {
    PoolSlab* following = slab->next;
    freeSlab(pool, slab);
    slab = following;
  }
  pool = makeRecordPool(pool.recordSize);
}

void appendRoomToCut(const RecordPool& pool, std::size_t takes, std::vector<MemoryRange>& ranges) {
  std::size_t uncut = 0;
  for (PoolSlab* slab = pool.filling; slab != nullptr; slab = slab->next)
    uncut += slab->capacity - slab->cut;
  const std::size_t fromFreeList = pool.spare - uncut;
  std::size_t toCut = takes > fromFreeList ? takes - fromFreeList : 0;
  for (PoolSlab* slab = pool.filling; slab != nullptr && toCut > 0; slab = slab->next) {
    const std::size_t room = slab->capacity - slab->cut;
    if (room == 0) continue;
    const std::size_t cut = room < toCut ? room : toCut;
    ranges.push_back({recordsOf(slab) + slab->cut * pool.recordSize, cut * pool.recordSize});
    toCut -= cut;
  }
}

// All the room a pool lacks comes in one slab (a pass reserves millions of
// records at once); every slab is taken before any pool changes, so a
// failure undoes the call by freeing what it took.
bool reserveInPools(RecordPool* const pools[], const std::size_t counts[], int poolCount) {
  constexpr int kMaxPools = 4;
  if (poolCount > kMaxPools) return false;
  PoolSlab* taken[kMaxPools] = {};
  bool ok = true;
  for (int i = 0; ok && i < poolCount; ++i) {
    const RecordPool& pool = *pools[i];
    if (counts[i] <= pool.spare) continue;
    const std::size_t missing = counts[i] - pool.spare;
    taken[i] = newSlab(pool, missing > pool.slabRecords ? missing : pool.slabRecords, false);
    ok = taken[i] != nullptr;
  }
  for (int i = 0; i < poolCount; ++i) {
    if (taken[i] == nullptr) continue;
    if (ok) {
      appendSlab(*pools[i], taken[i]);
    } else {
      freeSlab(*pools[i], taken[i]);
    }
  }
  return ok;
}
