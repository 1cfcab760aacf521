// RecordPool: where the store takes its records from, one pool per record
// type. Private to the store (mesh_lists.cpp); nothing else includes it.
//
// A pool cuts records of one size out of slabs it takes from the heap, and
// keeps the records given back on a free list for the next takes. A record's
// memory belongs to the pool from its slab's taking until the slabs are
// released; the store's lists own the records in between.
//
// Invariants:
//  - spare is the number of takes that cannot fail: the free list's records
//    plus the uncut room of the filling slab and of every slab after it
//    (slabs are cut in the order taken, and a reservation may add a large one);
//  - in an AddressSanitizer build every record not taken (on the free list,
//    or not cut yet) is poisoned, so a stale pointer into a slab is reported
//    as it would be into freed heap memory.
#pragma once

#include <cstddef>
#include <vector>

#include "mesh.h"

struct PoolSlab;

struct RecordPool {
  std::size_t recordSize;
  std::size_t slabRecords;  // capacity of the next slab taken for a single record
  PoolSlab* firstSlab;  // every slab, in the order taken
  PoolSlab* lastSlab;
  PoolSlab* filling;    // the slab fresh records are cut from, nullptr before the first
  void* freeList;       // records given back; each holds the address of the next
  std::size_t spare;
};

// A pool of records of this size (a multiple of the pointer size), holding
// no slab yet.
RecordPool makeRecordPool(std::size_t recordSize);

// One record, uninitialised; nullptr, with nothing changed, when no record is
// spare and no slab can be had.
void* takeRecord(RecordPool& pool);

// Gives back a record taken from this pool.
void giveRecord(RecordPool& pool, void* record);

// Gives back every record taken, without visiting them; the slabs stay.
void giveAllRecords(RecordPool& pool);

// Returns every slab to the heap. Every record must have been given back.
void releaseSlabs(RecordPool& pool);

// Appends to `ranges` where the next `takes` takes will cut records from
// slabs, those the free list serves left out: the uncut room of the filling
// slab and of the slabs after it, in the order it is cut.
void appendRoomToCut(const RecordPool& pool, std::size_t takes, std::vector<MemoryRange>& ranges);

// Takes slabs until each pool i has at least counts[i] spare records. When a
// slab cannot be had, returns every slab taken by this call and false, and no
// pool has changed; otherwise returns true.
bool reserveInPools(RecordPool* const pools[], const std::size_t counts[], int poolCount);
