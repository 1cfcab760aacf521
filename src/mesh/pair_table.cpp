#include "pair_table.h"

static std::size_t capacityFor(std::size_t entries) {
  std::size_t capacity = 16;
  while (capacity < entries * 2) capacity *= 2;
  return capacity;
}

PairTable::PairTable(std::size_t expectedEntries)
    : slots_(capacityFor(expectedEntries)), mask_(slots_.size() - 1) {}

uint64_t PairTable::hash(uint64_t a, uint64_t b) {
  // Two rounds of a 64-bit mix; addresses differ mostly in their middle bits.
  uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return h;
}

const uint32_t* PairTable::find(uint64_t a, uint64_t b) const {
  for (std::size_t i = hash(a, b) & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots_[i];
    if (!slot.used) return nullptr;
    if (slot.a == a && slot.b == b) return &slot.value;
  }
}

uint32_t& PairTable::findOrInsert(uint64_t a, uint64_t b, uint32_t initial) {
  if ((used_ + 1) * 2 > slots_.size()) grow();
  for (std::size_t i = hash(a, b) & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots_[i];
    if (!slot.used) {
      slot = Slot{a, b, initial, true};
      ++used_;
      return slot.value;
    }
    if (slot.a == a && slot.b == b) return slot.value;
  }
}

void PairTable::grow() {
  BigArray<Slot> old;
  old.swap(slots_);
  slots_.assign(old.size() * 2, Slot{});
  mask_ = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (!slot.used) continue;
    std::size_t i = hash(slot.a, slot.b) & mask_;
    while (slots_[i].used) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
}

VertexNumbering VertexNumbering::inListOrder() {
  VertexNumbering numbering;
  for (Vertex* v = vertexHead->next; v != nullptr; v = v->next) numbering.records_.push_back(v);
  numbering.guessable_ = numbering.records_.size();
  return numbering;
}

VertexNumbering VertexNumbering::byIds(std::size_t limit) {
  VertexNumbering numbering;
  numbering.records_.assign(limit, nullptr);
  numbering.guessable_ = limit;
  return numbering;
}

uint32_t VertexNumbering::numberOf(Vertex* v) {
  if (v != nullptr) {
    const int64_t guess = static_cast<int64_t>(v->id) - 1;
    if (guess >= 0 && guess < static_cast<int64_t>(guessable_)) {
      Vertex*& holder = records_[static_cast<std::size_t>(guess)];
      if (holder == nullptr) holder = v;
      if (holder == v) return static_cast<uint32_t>(guess);
    }
  }
  if (!tableFilled_) {
    byAddress_ = PairTable(records_.size());
    for (uint32_t n = 0; n < records_.size(); ++n) {
      if (records_[n] != nullptr) byAddress_.findOrInsert(addressKey(records_[n]), 0, n);
    }
    tableFilled_ = true;
  }
  const uint32_t next = static_cast<uint32_t>(records_.size());
  const uint32_t number = byAddress_.findOrInsert(addressKey(v), 0, next);
  if (number == next) records_.push_back(v);
  return number;
}
