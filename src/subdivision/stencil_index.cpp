#include "stencil_index.h"

#include <utility>

#include "fan_order.h"
#include "parallel_ranges.h"

namespace {

void weldVertices(StencilIndex& index) {
  VertexWeld weld;
  weldPositions(index.positions, weld);
  index.weldedTo = std::move(weld.weldedTo);
  index.weldTolerance = weld.tolerance;
  index.weldsAreIdentity = weld.identity;
}

// The records numbered so far, and the coordinates of those not taken yet.
void takeVertices(StencilIndex& index, const VertexNumbering& numbers) {
  index.vertices = numbers.records();
  index.positions.reserve(index.vertices.size());
  for (std::size_t n = index.positions.size(); n < index.vertices.size(); ++n) {
    const Vertex* v = index.vertices[n];
    index.positions.push_back({v->x, v->y, v->z});
  }
}

// Vertices are numbered as the faces name them, so records a face names
// without their being in the vertex list still get numbers (after those of
// the list).
void gatherFaces(StencilIndex& index, VertexNumbering& numbers) {
  for (const Face* face = currentFaceHead->next; face != nullptr; face = face->next) {
    for (int k = 0; k < 3; ++k) {
      index.corners.push_back(numbers.numberOf(face->v[k]));
      index.flags.push_back(face->e[k]->flag);
    }
  }
}

// The first corner of the side's face that is neither end of the side.
uint32_t farCorner(const StencilIndex& index, uint32_t side) {
  const uint32_t base = side - side % 3;
  const uint32_t p = index.corners[side];
  const uint32_t q = index.corners[base + (side % 3 + 1) % 3];
  for (uint32_t k = 0; k < 3; ++k) {
    const uint32_t corner = index.corners[base + k];
    if (corner != p && corner != q) return corner;
  }
  return kNoSide;
}

// A counting sort of the sides by start vertex; filling in side order keeps
// every group in side order. Each entry carries its side's far corner, the
// answer of the lookups that find the side, so they need not visit the face.
// Fans are ordered, when asked, once crowded groups can find their sides by
// end and before the tables that hold entries by flag are filled.
template <typename StartOf, typename EndOf>
void groupSides(const StencilIndex& index, StartOf startOf, EndOf endOf, SidesByStart& group,
                BigArray<uint8_t>* closedFans = nullptr) {
  const std::size_t sideCount = index.corners.size();
  const std::size_t vertexCount = index.positions.size();
  group.first.assign(vertexCount + 1, 0);
  for (uint32_t side = 0; side < sideCount; ++side) ++group.first[startOf(side) + 1];
  for (std::size_t v = 0; v < vertexCount; ++v) group.first[v + 1] += group.first[v];
  group.entries.resize(sideCount);
  // first[v] serves as v's fill cursor, which ends where v + 1 begins; the
  // shift afterwards puts every group start back.
  for (uint32_t side = 0; side < sideCount; ++side)
    group.entries[group.first[startOf(side)]++] = {endOf(side), side, farCorner(index, side)};
  for (std::size_t v = vertexCount; v > 0; --v) group.first[v] = group.first[v - 1];
  group.first[0] = 0;
  for (uint32_t v = 0; v < vertexCount; ++v) {
    if (group.first[v + 1] - group.first[v] <= kCrowdedGroup) continue;
    for (uint32_t i = group.first[v]; i < group.first[v + 1]; ++i)
      group.crowdedFirst.findOrInsert(v, group.entries[i].end, i);
  }
  if (closedFans != nullptr) orderClosedFans(group, *closedFans);
  for (uint32_t v = 0; v < vertexCount; ++v) {
    if (group.first[v + 1] - group.first[v] <= kCrowdedGroup) continue;
    for (uint32_t i = group.first[v]; i < group.first[v + 1]; ++i) {
      const uint8_t flag = index.flags[group.entries[i].side];
      if (flag == kFlagBoundary) group.crowdedBoundary.findOrInsert(v, group.entries[i].end, i);
      if (flag == kFlagInterior) group.crowdedInterior.findOrInsert(v, group.entries[i].end, i);
    }
  }
}

bool isCrowded(const SidesByStart& group, uint32_t from) {
  return group.first[from + 1] - group.first[from] > kCrowdedGroup;
}

const SidesByStart& weldedGroup(const StencilIndex& index) {
  return index.weldsAreIdentity ? index.byRecords : index.byWelds;
}

void keepFirstTwo(PairTable& slots, BigArray<uint32_t>& sides, uint32_t key, uint32_t side) {
  const uint32_t fresh = static_cast<uint32_t>(sides.size() / 2);
  const uint32_t slot = slots.findOrInsert(key, 0, fresh);
  if (slot == fresh) {
    sides.push_back(side);
    sides.push_back(kNoSide);
  } else if (sides[2 * slot + 1] == kNoSide) {
    sides[2 * slot + 1] = side;
  }
}

void groupByRecords(StencilIndex& index, bool orderFans = false) {
  const IndexLookup lookup{index};
  groupSides(
      index, [&](uint32_t side) { return lookup.start(side); },
      [&](uint32_t side) { return lookup.end(side); }, index.byRecords,
      orderFans ? &index.closedFans : nullptr);
}

// The side's entry loses its far corner, which the lookups then take for a
// missing one: no stencil reaches across a crease, and a lookup pays nothing
// to know. A crease vertex's fan spans the crease, so the rules that read
// fans leave it to the rules that stop at creases.
void noteCrease(StencilIndex& index, uint32_t a, uint32_t b) {
  addCreaseSide(index.creases, a, b);
  SidesByStart& group = index.byRecords;
  if (const SideEnd* entry = firstSide(group, a, b)) group.entries[entry - group.entries.data()].far = kNoSide;
  if (index.closedFans.size() != 0) index.closedFans[a] = index.closedFans[b] = 0;
}

void indexSides(StencilIndex& index) {
  const std::size_t sideCount = index.corners.size();
  IndexLookup lookup{index};
  if (!index.weldsAreIdentity) {
    groupSides(
        index, [&](uint32_t side) { return index.weldedTo[lookup.start(side)]; },
        [&](uint32_t side) { return index.weldedTo[lookup.end(side)]; }, index.byWelds);
  }
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint8_t flag = index.flags[side];
    if (flag == kFlagInterior || (flag == kFlagBoundary && lookup.hasTwin(side))) continue;
    if (flag == kFlagCrease) {
      noteCrease(index, lookup.start(side), lookup.end(side));
      continue;
    }
    keepFirstTwo(index.rimEndingAt, index.rimSides, index.weldedTo[lookup.end(side)], side);
    keepFirstTwo(index.rimStartingAt, index.rimSides, index.weldedTo[lookup.start(side)], side);
  }
}

bool firstOtherRimSide(const PairTable& slots, const BigArray<uint32_t>& sides, uint32_t key,
                       uint32_t side, uint32_t& other) {
  const uint32_t* slot = slots.find(key, 0);
  if (slot == nullptr) return false;
  for (int i = 0; i < 2; ++i) {
    const uint32_t candidate = sides[2 * *slot + i];
    if (candidate != kNoSide && candidate != side) {
      other = candidate;
      return true;
    }
  }
  return false;
}

// The first side, and the first side flagged 0, of those running from one
// welded number to another, both kNoSide until found.
struct FirstOnPair {
  uint32_t any = kNoSide;
  uint32_t interior = kNoSide;
};

void lowerTo(uint32_t& kept, uint32_t side) {
  if (side < kept) kept = side;
}

void findFirstOnPair(const StencilIndex& index, const SidesByStart& group, uint32_t from, uint32_t to,
                     FirstOnPair& first) {
  if (isCrowded(group, from)) {
    if (const uint32_t* entry = group.crowdedFirst.find(from, to))
      lowerTo(first.any, group.entries[*entry].side);
    if (const uint32_t* entry = group.crowdedInterior.find(from, to))
      lowerTo(first.interior, group.entries[*entry].side);
    return;
  }
  // The group is in side order, so its first matches are the first sides.
  bool anyFound = false;
  for (uint32_t i = group.first[from], last = group.first[from + 1]; i < last; ++i) {
    const SideEnd& entry = group.entries[i];
    if (entry.end != to) continue;
    if (!anyFound) lowerTo(first.any, entry.side);
    anyFound = true;
    if (index.flags[entry.side] == kFlagInterior) {
      lowerTo(first.interior, entry.side);
      return;
    }
  }
}

// A side not flagged 0 takes the point of the first side flagged 0 between
// its two welded numbers, either way, or when there is none, of the first
// side between them; both are found in the side groups the index has.
uint32_t findPointSource(const StencilIndex& index, uint32_t side) {
  if (index.flags[side] == kFlagInterior) return side;
  const IndexLookup lookup{index};
  const SidesByStart& group = weldedGroup(index);
  const uint32_t a = index.weldedTo[lookup.start(side)];
  const uint32_t b = index.weldedTo[lookup.end(side)];
  FirstOnPair first;
  findFirstOnPair(index, group, a, b, first);
  findFirstOnPair(index, group, b, a, first);
  return first.interior != kNoSide ? first.interior : first.any;
}

void findPointSources(StencilIndex& index) {
  const std::size_t sideCount = index.corners.size();
  index.pointSource.resize(sideCount);
  forEachPiece(sideCount, 1, [&](std::size_t begin, std::size_t end) {
    for (uint32_t side = static_cast<uint32_t>(begin); side < end; ++side)
      index.pointSource[side] = findPointSource(index, side);
  });
}

bool onRim(const StencilIndex& index, uint32_t v) {
  return index.rimEndingAt.find(v, 0) != nullptr || index.rimStartingAt.find(v, 0) != nullptr;
}

// Settles the neighbour of a side's end v beyond its other end `from`
// where creases decide it, and says whether they did: a crease side goes on
// along its line through v unless v is a corner or on a rim as well, and a
// rim side stops at a crease vertex, as at a corner. found is kNoSide where
// the line stops.
bool settledByCreases(const StencilIndex& index, uint32_t side, uint32_t v, uint32_t from, uint32_t& found) {
  if (index.flags[side] == kFlagCrease) {
    if (onRim(index, v) || !creaseLineBeyond(index.creases, v, from, found)) found = kNoSide;
    return true;
  }
  if (!onCrease(index.creases, v)) return false;
  found = kNoSide;
  return true;
}

}  // namespace

// The weld needs only the vertex list's coordinates and the grouping by
// records only the faces, so the two run side by side. A face naming a
// record outside the list adds a vertex, which changes the bounding box and
// so every weld: the weld is then made again over all of them.
void buildStencilIndex(StencilIndex& index) {
  bool allListed = true;
  {
    // The numbering's arrays go before the rest of the index is built.
    VertexNumbering numbers = VertexNumbering::inListOrder();
    takeVertices(index, numbers);
    const std::size_t listed = index.vertices.size();
    runBeside(
        listed, [&] { weldVertices(index); },
        [&] {
          gatherFaces(index, numbers);
          allListed = numbers.size() == listed;
          if (allListed) groupByRecords(index);
        });
    if (!allListed) takeVertices(index, numbers);
  }
  if (!allListed) {
    weldVertices(index);
    groupByRecords(index);
  }
  indexSides(index);
  findPointSources(index);
}

void buildStencilIndexOfArrays(StencilIndex& index, bool orderFans, bool everyPointSource) {
  const std::size_t vertexCount = index.positions.size();
  index.weldedTo.resize(vertexCount);
  for (std::size_t v = 0; v < vertexCount; ++v) index.weldedTo[v] = static_cast<uint32_t>(v);
  index.weldsAreIdentity = true;
  groupByRecords(index, orderFans);
  indexSides(index);
  if (everyPointSource) findPointSources(index);
}

uint32_t pointSourceOf(const StencilIndex& index, uint32_t side) {
  return index.pointSource.empty() ? findPointSource(index, side) : index.pointSource[side];
}

const SideEnd* firstSide(const SidesByStart& group, uint32_t from, uint32_t to) {
  if (isCrowded(group, from)) {
    const uint32_t* entry = group.crowdedFirst.find(from, to);
    return entry != nullptr ? &group.entries[*entry] : nullptr;
  }
  for (uint32_t i = group.first[from], last = group.first[from + 1]; i < last; ++i) {
    if (group.entries[i].end == to) return &group.entries[i];
  }
  return nullptr;
}

// The side found by records runs from p to q, so its far corner is the one
// that is neither p nor q; the side found by position is asked for the corner
// that is neither of its own ends.
bool IndexLookup::corner(uint32_t p, uint32_t q, uint32_t& found) const {
  const SideEnd* side = firstSide(index.byRecords, p, q);
  if (side != nullptr && side->far != kNoSide) {
    found = side->far;
    return true;
  }
  // With identity welds the search by position finds the same side again.
  if (index.weldsAreIdentity) return false;
  const SideEnd* welded = firstSide(index.byWelds, index.weldedTo[p], index.weldedTo[q]);
  if (welded == nullptr || welded->far == kNoSide) return false;
  found = welded->far;
  return true;
}

uint32_t IndexLookup::firstSideFromTo(uint32_t p, uint32_t q) const {
  const SideEnd* side = firstSide(index.byRecords, p, q);
  return side != nullptr ? side->side : kNoSide;
}

bool IndexLookup::hasTwin(uint32_t side) const {
  if (index.flags[side] != kFlagBoundary) return false;
  const uint32_t a = index.weldedTo[start(side)];
  const uint32_t b = index.weldedTo[end(side)];
  if (a == b) return false;
  const SidesByStart& group = weldedGroup(index);
  if (isCrowded(group, b)) return group.crowdedBoundary.find(b, a) != nullptr;
  for (uint32_t i = group.first[b], last = group.first[b + 1]; i < last; ++i) {
    if (group.entries[i].end == a && index.flags[group.entries[i].side] == kFlagBoundary) return true;
  }
  return false;
}

bool IndexLookup::rimBefore(uint32_t side, uint32_t& found) const {
  if (!index.creases.empty() && settledByCreases(index, side, start(side), end(side), found)) return found != kNoSide;
  uint32_t other;
  if (!firstOtherRimSide(index.rimEndingAt, index.rimSides, index.weldedTo[start(side)], side, other))
    return false;
  found = start(other);
  return true;
}

bool IndexLookup::rimAfter(uint32_t side, uint32_t& found) const {
  if (!index.creases.empty() && settledByCreases(index, side, end(side), start(side), found)) return found != kNoSide;
  uint32_t other;
  if (!firstOtherRimSide(index.rimStartingAt, index.rimSides, index.weldedTo[end(side)], side, other))
    return false;
  found = end(other);
  return true;
}
