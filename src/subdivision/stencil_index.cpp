#include "stencil_index.h"

#include <cmath>

#include "parallel_ranges.h"

namespace {

bool isFinite(const FloatPoint& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool coincide(const FloatPoint& p, const FloatPoint& q, double tolerance) {
  return std::fabs(double(p.x) - q.x) <= tolerance && std::fabs(double(p.y) - q.y) <= tolerance &&
         std::fabs(double(p.z) - q.z) <= tolerance;
}

// Records are hashed into cubic cells much wider than the tolerance, so a
// record needs the neighbouring cell along an axis only when it lies within
// the tolerance (with a margin for rounding) of that cell's wall.
constexpr double kCellsPerTolerance = 32.0;
constexpr double kWallMargin = 1.01 / kCellsPerTolerance;

struct WeldGrid {
  Point3 origin{0, 0, 0};
  double cellSize = 0.0;  // 0: only equal coordinates coincide
  PairTable firstInCell;  // cell -> most recent record in it
  BigArray<uint32_t> previousInCell;
};

double boundingDiagonal(const BigArray<FloatPoint>& positions, Point3& low) {
  bool any = false;
  Point3 high{0, 0, 0};
  for (const FloatPoint& q : positions) {
    if (!isFinite(q)) continue;
    const Point3 p{q.x, q.y, q.z};
    if (!any) low = high = p;
    any = true;
    low = {std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z)};
    high = {std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z)};
  }
  const Point3 d = high - low;
  return any ? std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) : 0.0;
}

// Cell coordinates packed into the table's two keys; packing may put two
// cells under one key, which only adds candidates that coincide() rejects.
void cellKey(int64_t cx, int64_t cy, int64_t cz, uint64_t& first, uint64_t& second) {
  first = static_cast<uint64_t>(cx);
  second = (static_cast<uint64_t>(cy) << 32) ^ static_cast<uint64_t>(cz);
}

// Per axis: the cell of the coordinate and whether its lower (-1) or upper
// (+1) neighbour must be searched too.
void cellRange(double coordinate, double origin, double cellSize, int64_t& cell, int& low, int& high) {
  const double scaled = (coordinate - origin) / cellSize;
  const double floorValue = std::floor(scaled);
  const double fraction = scaled - floorValue;
  cell = static_cast<int64_t>(floorValue);
  low = fraction < kWallMargin ? -1 : 0;
  high = fraction > 1.0 - kWallMargin ? 1 : 0;
}

bool samePosition(const FloatPoint& p, const FloatPoint& q) {
  return p.x == q.x && p.y == q.y && p.z == q.z;  // -0 and +0 are the same position
}

// Exact bits of a coordinate, the cell of a weld with no tolerance.
int64_t exactCell(float f) {
  const float positiveZero = f + 0.0f;  // -0 and +0 share a cell
  uint32_t bits;
  static_assert(sizeof bits == sizeof positiveZero, "float is 32 bits");
  __builtin_memcpy(&bits, &positiveZero, sizeof bits);
  return bits;
}

// A record at exactly the position of one already in the cells coincides
// with the same earlier records, so the search finds the same first match
// for it, and it stays out of the cells: a file that puts many vertices on one
// point (every vertex whose numbers fail to parse sits at the origin) keeps
// its cell's chain as short as one with distinct points.
void weldVertices(StencilIndex& index) {
  const std::size_t count = index.positions.size();
  index.weldedTo.resize(count);
  index.weldsAreIdentity = true;
  WeldGrid grid;
  const double diagonal = boundingDiagonal(index.positions, grid.origin);
  index.weldTolerance = diagonal * kWeldToleranceRelative;
  grid.cellSize = index.weldTolerance * kCellsPerTolerance;
  grid.previousInCell.assign(count, kNoSide);
  grid.firstInCell = PairTable(count);

  for (uint32_t i = 0; i < count; ++i) {
    const FloatPoint& v = index.positions[i];
    index.weldedTo[i] = i;
    if (!isFinite(v)) continue;
    int64_t cell[3];
    int low[3] = {0, 0, 0};
    int high[3] = {0, 0, 0};
    if (grid.cellSize > 0.0) {
      cellRange(v.x, grid.origin.x, grid.cellSize, cell[0], low[0], high[0]);
      cellRange(v.y, grid.origin.y, grid.cellSize, cell[1], low[1], high[1]);
      cellRange(v.z, grid.origin.z, grid.cellSize, cell[2], low[2], high[2]);
    } else {
      cell[0] = exactCell(v.x);
      cell[1] = exactCell(v.y);
      cell[2] = exactCell(v.z);
    }
    uint64_t first, second;
    cellKey(cell[0], cell[1], cell[2], first, second);
    // Finds do not move the table's slots, so this stays valid through the
    // search of the neighbouring cells.
    uint32_t& latestInOwnCell = grid.firstInCell.findOrInsert(first, second, kNoSide);
    uint32_t firstMatch = i;
    bool placeTaken = false;
    for (int dx = low[0]; dx <= high[0]; ++dx) {
      for (int dy = low[1]; dy <= high[1]; ++dy) {
        for (int dz = low[2]; dz <= high[2]; ++dz) {
          const bool ownCell = dx == 0 && dy == 0 && dz == 0;
          const uint32_t* latest = &latestInOwnCell;
          if (!ownCell) {
            cellKey(cell[0] + dx, cell[1] + dy, cell[2] + dz, first, second);
            latest = grid.firstInCell.find(first, second);
          }
          for (uint32_t j = latest ? *latest : kNoSide; j != kNoSide; j = grid.previousInCell[j]) {
            const FloatPoint& candidate = index.positions[j];
            if (!coincide(candidate, v, index.weldTolerance)) continue;
            if (j < firstMatch) firstMatch = j;
            placeTaken = placeTaken || (ownCell && samePosition(candidate, v));
          }
        }
      }
    }
    index.weldedTo[i] = index.weldedTo[firstMatch];
    if (firstMatch != i) index.weldsAreIdentity = false;
    if (placeTaken) continue;
    grid.previousInCell[i] = latestInOwnCell;
    latestInOwnCell = i;
  }
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
template <typename StartOf, typename EndOf>
void groupSides(const StencilIndex& index, StartOf startOf, EndOf endOf, SidesByStart& group) {
  const std::size_t sideCount = index.corners.size();
  const std::size_t vertexCount = index.vertices.size();
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
    for (uint32_t i = group.first[v]; i < group.first[v + 1]; ++i) {
      group.crowdedFirst.findOrInsert(v, group.entries[i].end, i);
      const uint8_t flag = index.flags[group.entries[i].side];
      if (flag == kFlagBoundary) group.crowdedBoundary.findOrInsert(v, group.entries[i].end, i);
      if (flag == kFlagInterior) group.crowdedInterior.findOrInsert(v, group.entries[i].end, i);
    }
  }
}

bool isCrowded(const SidesByStart& group, uint32_t from) {
  return group.first[from + 1] - group.first[from] > kCrowdedGroup;
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

void groupByRecords(StencilIndex& index) {
  const IndexLookup lookup{index};
  groupSides(
      index, [&](uint32_t side) { return lookup.start(side); },
      [&](uint32_t side) { return lookup.end(side); }, index.byRecords);
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
void findPointSources(StencilIndex& index) {
  const std::size_t sideCount = index.corners.size();
  const IndexLookup lookup{index};
  const SidesByStart& group = weldedGroup(index);
  index.pointSource.resize(sideCount);
  forEachPiece(sideCount, 1, [&](std::size_t begin, std::size_t end) {
    for (uint32_t side = static_cast<uint32_t>(begin); side < end; ++side) {
      if (index.flags[side] == kFlagInterior) {
        index.pointSource[side] = side;
        continue;
      }
      const uint32_t a = index.weldedTo[lookup.start(side)];
      const uint32_t b = index.weldedTo[lookup.end(side)];
      FirstOnPair first;
      findFirstOnPair(index, group, a, b, first);
      findFirstOnPair(index, group, b, a, first);
      index.pointSource[side] = first.interior != kNoSide ? first.interior : first.any;
    }
  });
}

}  // namespace

// The weld needs only the vertex list's coordinates and the grouping by
// records only the faces, so the two run side by side. A face naming a
// record outside the list adds a vertex, which changes the bounding box and
// so every weld: the weld is then made again over all of them.
void buildStencilIndex(StencilIndex& index) {
  VertexNumbering numbers = VertexNumbering::inListOrder();
  takeVertices(index, numbers);
  const std::size_t listed = index.vertices.size();
  runBeside(
      listed, [&] { weldVertices(index); },
      [&] {
        gatherFaces(index, numbers);
        if (numbers.size() == listed) groupByRecords(index);
      });
  if (numbers.size() != listed) {
    takeVertices(index, numbers);
    weldVertices(index);
    groupByRecords(index);
  }
  indexSides(index);
  findPointSources(index);
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
  uint32_t other;
  if (!firstOtherRimSide(index.rimEndingAt, index.rimSides, index.weldedTo[start(side)], side, other))
    return false;
  found = start(other);
  return true;
}

bool IndexLookup::rimAfter(uint32_t side, uint32_t& found) const {
  uint32_t other;
  if (!firstOtherRimSide(index.rimStartingAt, index.rimSides, index.weldedTo[end(side)], side, other))
    return false;
  found = end(other);
  return true;
}
