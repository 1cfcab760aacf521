// PairTable: an open-addressing hash table from an ordered pair of 64-bit
// keys (two record addresses, or two vertex numbers) to a 32-bit value. The
// indexes of classification and of the subdivision pass use it; it owns its
// slots and nothing else. Found values stay valid until the next insert.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

inline uint64_t addressKey(const void* p) { return reinterpret_cast<uintptr_t>(p); }
