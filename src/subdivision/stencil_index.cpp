#include "stencil_index.h"

#include <cmath>

namespace {

bool isFinite(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool coincide(const Vertex& p, const Vertex& q, double tolerance) {
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
  std::vector<uint32_t> previousInCell;
};

double boundingDiagonal(const std::vector<Vertex*>& vertices, Point3& low) {
  bool any = false;
  Point3 high{0, 0, 0};
  for (const Vertex* v : vertices) {
    if (!isFinite(*v)) continue;
    const Point3 p = pointOf(*v);
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

uint64_t exactBits(float f) {
  const float positiveZero = f + 0.0f;  // -0 and +0 coincide
  uint32_t bits;
  static_assert(sizeof bits == sizeof positiveZero, "float is 32 bits");
  __builtin_memcpy(&bits, &positiveZero, sizeof bits);
  return bits;
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

void weldVertices(StencilIndex& index) {
  const std::size_t count = index.vertices.size();
  index.weldedTo.resize(count);
  WeldGrid grid;
  const double diagonal = boundingDiagonal(index.vertices, grid.origin);
  index.weldTolerance = diagonal * kWeldToleranceRelative;
  grid.cellSize = index.weldTolerance * kCellsPerTolerance;
  grid.previousInCell.assign(count, kNoSide);
  grid.firstInCell = PairTable(count);

  for (uint32_t i = 0; i < count; ++i) {
    const Vertex& v = *index.vertices[i];
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
      cell[0] = static_cast<int64_t>(exactBits(v.x));
      cell[1] = static_cast<int64_t>(exactBits(v.y));
      cell[2] = static_cast<int64_t>(exactBits(v.z));
    }
    uint32_t firstMatch = i;
    for (int dx = low[0]; dx <= high[0]; ++dx) {
      for (int dy = low[1]; dy <= high[1]; ++dy) {
        for (int dz = low[2]; dz <= high[2]; ++dz) {
          uint64_t first, second;
          cellKey(cell[0] + dx, cell[1] + dy, cell[2] + dz, first, second);
          const uint32_t* latest = grid.firstInCell.find(first, second);
          for (uint32_t j = latest ? *latest : kNoSide; j != kNoSide; j = grid.previousInCell[j]) {
            if (j < firstMatch && coincide(*index.vertices[j], v, index.weldTolerance)) firstMatch = j;
          }
        }
      }
    }
    index.weldedTo[i] = index.weldedTo[firstMatch];
    uint64_t first, second;
    cellKey(cell[0], cell[1], cell[2], first, second);
    uint32_t& latest = grid.firstInCell.findOrInsert(first, second, kNoSide);
    grid.previousInCell[i] = latest;
    latest = i;
  }
}

void numberVertices(StencilIndex& index, PairTable& numbers) {
  for (Vertex* v = vertexHead->next; v != nullptr; v = v->next) {
    numbers.findOrInsert(addressKey(v), 0, static_cast<uint32_t>(index.vertices.size()));
    index.vertices.push_back(v);
  }
}

void gatherFaces(StencilIndex& index, PairTable& numbers) {
  for (Face* f = currentFaceHead->next; f != nullptr; f = f->next) index.faces.push_back(f);
  index.corners.resize(index.faces.size() * 3);
  index.flags.resize(index.faces.size() * 3);
  for (std::size_t f = 0; f < index.faces.size(); ++f) {
    for (int k = 0; k < 3; ++k) {
      Vertex* corner = index.faces[f]->v[k];
      // Faces only name listed vertices; a stray one still gets a number.
      const uint32_t next = static_cast<uint32_t>(index.vertices.size());
      const uint32_t number = numbers.findOrInsert(addressKey(corner), 0, next);
      if (number == next) index.vertices.push_back(corner);
      index.corners[3 * f + k] = number;
      index.flags[3 * f + k] = index.faces[f]->e[k]->flag;
    }
  }
}

void keepFirstTwo(PairTable& slots, std::vector<uint32_t>& sides, uint32_t key, uint32_t side) {
  const uint32_t fresh = static_cast<uint32_t>(sides.size() / 2);
  const uint32_t slot = slots.findOrInsert(key, 0, fresh);
  if (slot == fresh) {
    sides.push_back(side);
    sides.push_back(kNoSide);
  } else if (sides[2 * slot + 1] == kNoSide) {
    sides[2 * slot + 1] = side;
  }
}

void indexSides(StencilIndex& index) {
  const std::size_t sideCount = index.corners.size();
  index.sideByRecords = PairTable(sideCount);
  index.sideByPositions = PairTable(sideCount);
  index.boundaryByPositions = PairTable(sideCount / 2);
  IndexLookup lookup{index};
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint32_t a = lookup.start(side);
    const uint32_t b = lookup.end(side);
    index.sideByRecords.findOrInsert(a, b, side);
    index.sideByPositions.findOrInsert(index.weldedTo[a], index.weldedTo[b], side);
    if (index.flags[side] == kFlagBoundary)
      index.boundaryByPositions.findOrInsert(index.weldedTo[a], index.weldedTo[b], side);
  }
  // Twins are known only once every boundary side is in, hence a second walk.
  for (uint32_t side = 0; side < sideCount; ++side) {
    const uint8_t flag = index.flags[side];
    if (flag == kFlagInterior || (flag == kFlagBoundary && lookup.hasTwin(side))) continue;
    keepFirstTwo(index.rimEndingAt, index.rimSides, index.weldedTo[lookup.end(side)], side);
    keepFirstTwo(index.rimStartingAt, index.rimSides, index.weldedTo[lookup.start(side)], side);
  }
}

// The first corner of the side's face that is neither end of the side.
bool farCorner(const StencilIndex& index, uint32_t side, uint32_t p, uint32_t q, uint32_t& found) {
  const uint32_t base = side - side % 3;
  for (uint32_t k = 0; k < 3; ++k) {
    const uint32_t corner = index.corners[base + k];
    if (corner != p && corner != q) {
      found = corner;
      return true;
    }
  }
  return false;
}

bool firstOtherRimSide(const PairTable& slots, const std::vector<uint32_t>& sides, uint32_t key,
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

}  // namespace

void buildStencilIndex(StencilIndex& index) {
  PairTable numbers(1024);
  numberVertices(index, numbers);
  gatherFaces(index, numbers);
  weldVertices(index);
  indexSides(index);
}

bool IndexLookup::corner(uint32_t p, uint32_t q, uint32_t& found) const {
  const uint32_t* side = index.sideByRecords.find(p, q);
  if (side != nullptr && farCorner(index, *side, p, q, found)) return true;
  side = index.sideByPositions.find(index.weldedTo[p], index.weldedTo[q]);
  return side != nullptr && farCorner(index, *side, start(*side), end(*side), found);
}

bool IndexLookup::hasTwin(uint32_t side) const {
  const uint32_t a = index.weldedTo[start(side)];
  const uint32_t b = index.weldedTo[end(side)];
  return index.flags[side] == kFlagBoundary && a != b && index.boundaryByPositions.find(b, a) != nullptr;
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
