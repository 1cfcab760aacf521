// Ordering closed fans: one walk around each vertex that finds its sides
// by their ends, then a permutation into walking order.
#include "fan_order.h"

#include <algorithm>

#include "parallel_ranges.h"

namespace {

// The entry of the first side of a small group from v to `to`, or kNoSide.
uint32_t smallGroupEntry(const SidesByStart& group, uint32_t v, uint32_t to) {
  for (uint32_t i = group.first[v], last = group.first[v + 1]; i < last; ++i) {
    if (group.entries[i].end == to) return i;
  }
  return kNoSide;
}

uint32_t crowdedEntry(const SidesByStart& group, uint32_t v, uint32_t to) {
  const uint32_t* entry = group.crowdedFirst.find(v, to);
  return entry != nullptr ? *entry : kNoSide;
}

// Walks from the group's first side, each step to the first side whose end
// is the far corner of the last one, and calls visit(j, entry) for steps
// 0 .. K-1. A closed fan is a walk that returns to the first side after K
// steps and not before: the steps are a function of the side, so the K
// sides met are then all different, which also means every end is met once.
template <typename EntryOf, typename Visit>
bool walkFan(const SidesByStart& group, uint32_t v, EntryOf entryOf, Visit visit) {
  const uint32_t begin = group.first[v];
  const uint32_t size = group.first[v + 1] - begin;
  if (size < 3) return false;
  uint32_t entry = begin;
  for (uint32_t j = 0; j < size; ++j) {
    const SideEnd& side = group.entries[entry];
    if (side.end == v || side.far == kNoSide) return false;
    visit(j, entry);
    entry = entryOf(group, v, side.far);
    if (entry == kNoSide || (entry == begin) != (j + 1 == size)) return false;
  }
  return true;
}

// Small groups: the order is kept on the stack, then the group rewritten.
bool orderSmallFan(SidesByStart& group, uint32_t v) {
  uint32_t order[kCrowdedGroup];
  if (!walkFan(group, v, smallGroupEntry, [&](uint32_t j, uint32_t entry) { order[j] = entry; })) return false;
  const uint32_t begin = group.first[v];
  const uint32_t size = group.first[v + 1] - begin;
  SideEnd ordered[kCrowdedGroup];
  for (uint32_t j = 0; j < size; ++j) ordered[j] = group.entries[order[j]];
  std::copy(ordered, ordered + size, &group.entries[begin]);
  return true;
}

// Crowded groups: a first walk only decides; the second swaps each side
// into its place, telling the hash where both moved sides went.
bool orderCrowdedFan(SidesByStart& group, uint32_t v) {
  if (!walkFan(group, v, crowdedEntry, [](uint32_t, uint32_t) {})) return false;
  const uint32_t begin = group.first[v];
  const uint32_t size = group.first[v + 1] - begin;
  for (uint32_t j = 1; j < size; ++j) {
    const uint32_t place = begin + j;
    const uint32_t entry = crowdedEntry(group, v, group.entries[place - 1].far);
    if (entry == place) continue;
    std::swap(group.entries[place], group.entries[entry]);
    group.crowdedFirst.findOrInsert(v, group.entries[place].end, place) = place;
    group.crowdedFirst.findOrInsert(v, group.entries[entry].end, entry) = entry;
  }
  return true;
}

}  // namespace

void orderClosedFans(SidesByStart& group, BigArray<uint8_t>& closedFans) {
  const std::size_t vertexCount = group.first.size() - 1;
  closedFans.assign(vertexCount, 0);
  forEachPiece(vertexCount, 64, [&](std::size_t begin, std::size_t end) {
    for (uint32_t v = static_cast<uint32_t>(begin); v < end; ++v) {
      if (group.first[v + 1] - group.first[v] <= kCrowdedGroup) closedFans[v] = orderSmallFan(group, v);
    }
  });
  // Crowded groups share one hash, which a move writes: one thread.
  for (uint32_t v = 0; v < vertexCount; ++v) {
    if (group.first[v + 1] - group.first[v] > kCrowdedGroup) closedFans[v] = orderCrowdedFan(group, v);
  }
}
