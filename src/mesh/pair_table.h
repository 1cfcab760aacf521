// Lookup helpers of classification and of the subdivision pass.
//
// PairTable: an open-addressing hash table from an ordered pair of 64-bit
// keys (two record addresses, or two vertex numbers) to a 32-bit value; it
// owns its slots and nothing else. Found values stay valid until the next
// insert.
//
// VertexNumbering: dense numbers 0, 1, 2 ... for vertex records, so that
// indexes can be flat arrays instead of tables of addresses (a large mesh's
// records are spread over the heap, and hashing their addresses makes every
// lookup a cache miss).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "big_array.h"
#include "mesh.h"

class PairTable {
 public:
  explicit PairTable(std::size_t expectedEntries = 16);

  // The value stored under (a, b), or nullptr.
  const uint32_t* find(uint64_t a, uint64_t b) const;

  // The value under (a, b); inserted as initial when absent. The reference
  // stays valid until the next call of findOrInsert.
  uint32_t& findOrInsert(uint64_t a, uint64_t b, uint32_t initial);

  std::size_t size() const { return used_; }

 private:
  struct Slot {
    uint64_t a;
    uint64_t b;
    uint32_t value;
    bool used;
  };

  static uint64_t hash(uint64_t a, uint64_t b);
  void grow();

  BigArray<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

inline uint64_t addressKey(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// Numbers vertex records in one of two ways (see the named constructors).
// Both use a guess from the record's id, since the reader and the subdivision
// pass give vertices the ids 1, 2, 3 ... in list order: a record whose guess
// fails (ids set otherwise, a record not in the list, null) goes through a
// table of addresses, filled on the first miss, and gets the next free
// number. Only a non-null record's id is read.
class VertexNumbering {
 public:
  // Every record of the vertex list, numbered by its place in it.
  static VertexNumbering inListOrder();

  // No list walk: a record whose id i lies in 1..limit gets i - 1, unless
  // another record took that number first. Numbers then say nothing of list
  // order and leave gaps; for indexes that only need identity.
  static VertexNumbering byIds(std::size_t limit);

  uint32_t numberOf(Vertex* v);

  // Records by number (null in the gaps of byIds); size() is one past the
  // largest number handed out, or the limit.
  const BigArray<Vertex*>& records() const { return records_; }
  std::size_t size() const { return records_.size(); }

 private:
  VertexNumbering() = default;

  BigArray<Vertex*> records_;
  std::size_t guessable_ = 0;  // numbers below this are guessed from ids
  PairTable byAddress_;
  bool tableFilled_ = false;
};
