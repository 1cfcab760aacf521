// Closed fans: the sides leaving a vertex, put in order around it, for rules
// that weigh a vertex's neighbours by their place around it.
//
// A vertex's group (SidesByStart) forms one closed fan when it holds K >= 3
// sides and, starting from its first side v->n0 and stepping each time to the
// side from v to the far corner of the current side, the steps meet every
// side of the group once and come back to the first after K steps. The
// triangles around v are then one consistently oriented disc, every
// neighbour appears once, and the far corner of v->n(j) is n(j + 1).
//
// orderClosedFans rearranges each such group in place into that order,
// keeping its first side first, and leaves every other group in side order;
// the caller owns the group and the marks. Since a closed fan runs to each
// end once, "the first side from v to w" names the same side before and
// after. A crowded group is found through group.crowdedFirst, which must
// hold every crowded group's entries, and is kept right through the moves.
// The work is linear in the sides: a group of up to kCrowdedGroup sides is
// scanned, a larger one hashed; nothing is allocated per vertex.
#pragma once

#include <cstdint>

#include "big_array.h"
#include "stencil_index.h"

// closedFans[v] becomes 1 for every vertex whose group was ordered, 0 else.
// Throws std::bad_alloc when the marks cannot be had.
void orderClosedFans(SidesByStart& group, BigArray<uint8_t>& closedFans);

// In an ordered fan of v: the place j of the side v->w, or kNoSide.
inline uint32_t placeInFan(const SidesByStart& group, uint32_t v, uint32_t w) {
  const SideEnd* side = firstSide(group, v, w);
  return side != nullptr ? static_cast<uint32_t>(side - &group.entries[group.first[v]]) : kNoSide;
}

// The neighbour at place j (taken modulo the fan's size) of v's ordered fan.
inline uint32_t fanNeighbour(const SidesByStart& group, uint32_t v, uint32_t j) {
  const uint32_t size = group.first[v + 1] - group.first[v];
  return group.entries[group.first[v] + j % size].end;
}
