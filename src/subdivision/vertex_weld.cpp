#include "vertex_weld.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform.h"

namespace {

bool isFinite(const FloatPoint& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool coincide(const FloatPoint& p, const FloatPoint& q, double tolerance) {
  return std::fabs(double(p.x) - q.x) <= tolerance && std::fabs(double(p.y) - q.y) <= tolerance &&
         std::fabs(double(p.z) - q.z) <= tolerance;
}

bool samePosition(const FloatPoint& p, const FloatPoint& q) {
  return p.x == q.x && p.y == q.y && p.z == q.z;  // -0 and +0 are the same position
}

void lowerTo(uint32_t& kept, uint32_t number) {
  if (number < kept) kept = number;
}

// Positions fall into cubic cells much wider than the tolerance, so a
// position needs the neighbouring cell along an axis only when it lies
// within the tolerance (with a margin for rounding) of that cell's wall.
constexpr double kCellsPerTolerance = 32.0;
constexpr double kWallMargin = 1.01 / kCellsPerTolerance;

// No side of the bounding box is longer than its diagonal, which is
// 1 / (kWeldToleranceRelative * kCellsPerTolerance) = 3125 cells; an axis's
// cell number, with the cells either side, fits in 12 bits. Numbers outside
// are clamped, which merges cells: that only adds candidates coincide()
// rejects and, clamping being monotone, keeps every neighbour of a cell among
// the clamped neighbours. The 36 bits are then mixed down to a 32-bit key,
// which puts a few of the cells a position can fall in (about seven) under
// each key and so merges them too: the weld needs every cell under one key,
// not the cells' order.
constexpr int kAxisBits = 12;
constexpr int64_t kAxisCells = int64_t(1) << kAxisBits;
constexpr int kKeyDigitBits = 8;
constexpr int kKeyDigits = 4;
constexpr uint32_t kDigitValues = uint32_t(1) << kKeyDigitBits;
// Each pass of the sort moves the entries to the other array; after an even
// count they are back in their own, and the scratch array in its own.
static_assert(kKeyDigits % 2 == 0 && kKeyDigits * kKeyDigitBits >= 32, "digits of a 32-bit key");

double boundingDiagonal(const BigArray<FloatPoint>& positions, double low[3]) {
  bool any = false;
  double high[3] = {0, 0, 0};
  for (const FloatPoint& q : positions) {
    if (!isFinite(q)) continue;
    const double p[3] = {q.x, q.y, q.z};
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = any && low[axis] < p[axis] ? low[axis] : p[axis];
      high[axis] = any && high[axis] > p[axis] ? high[axis] : p[axis];
    }
    any = true;
  }
  if (!any) return 0.0;
  const double d[3] = {high[0] - low[0], high[1] - low[1], high[2] - low[2]};
  return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// Per axis: the cell of the coordinate and whether its lower (-1) or upper
// (+1) neighbour must be searched too. Every finite position lies in the
// bounding box and the origin is its lowest corner, so `scaled` lies between
// 0 and a few thousand, where the conversion truncates as floor would;
// multiplying by the reciprocal and truncating (instead of a division and
// floor) made filing the positions about a third faster. The product may be
// a couple of ulps off the quotient, far inside the margin, so a position
// near a wall still asks its neighbour.
void cellRange(double coordinate, double origin, double cellsPerUnit, int64_t& cell, int& low,
               int& high) {
  const double scaled = (coordinate - origin) * cellsPerUnit;
  cell = static_cast<int64_t>(scaled);
  const double fraction = scaled - static_cast<double>(cell);
  low = fraction < kWallMargin ? -1 : 0;
  high = fraction > 1.0 - kWallMargin ? 1 : 0;
}

uint32_t cellKey(const int64_t cell[3]) {
  uint64_t packed = 0;
  for (int axis = 2; axis >= 0; --axis) {
    const int64_t clamped = std::clamp<int64_t>(cell[axis] + 1, 0, kAxisCells - 1);
    packed = packed << kAxisBits | static_cast<uint64_t>(clamped);
  }
  return static_cast<uint32_t>((packed * 0x9E3779B97F4A7C15ull) >> 32);
}

// A position, or a question about one, filed under a cell's key.
struct CellEntry {
  uint32_t key;
  uint32_t number;
};

uint32_t digitOf(const CellEntry& entry, int digit) {
  return (entry.key >> (digit * kKeyDigitBits)) & (kDigitValues - 1);
}

// Stable: entries of one key keep their order, so a cell's positions stay in
// number order. One counting pass per digit of the key, the counts of every
// digit taken in one read before the first; the scratch array must be at
// least as large as the entries.
void sortByCell(BigArray<CellEntry>& entries, BigArray<CellEntry>& scratch) {
  const std::size_t count = entries.size();
  std::vector<std::size_t> starts(kKeyDigits * kDigitValues, 0);
  for (std::size_t e = 0; e < count; ++e) {
    for (int digit = 0; digit < kKeyDigits; ++digit)
      ++starts[digit * kDigitValues + digitOf(entries[e], digit)];
  }
  for (int digit = 0; digit < kKeyDigits; ++digit) {
    std::size_t* digitStarts = &starts[digit * kDigitValues];
    std::size_t start = 0;
    for (uint32_t value = 0; value < kDigitValues; ++value) {
      const std::size_t size = digitStarts[value];
      digitStarts[value] = start;
      start += size;
    }
    for (std::size_t e = 0; e < count; ++e)
      scratch[digitStarts[digitOf(entries[e], digit)]++] = entries[e];
    entries.swap(scratch);
  }
}

constexpr std::size_t kReadAhead = 16;

struct CellGrid {
  double origin[3];
  double cellsPerUnit;
  double tolerance;
};

// A finite position's cell and the neighbours to search along each axis.
struct GridPlace {
  int64_t cell[3];
  int low[3];
  int high[3];

  std::size_t neighbours() const {
    return std::size_t(1 + high[0] - low[0]) * (1 + high[1] - low[1]) * (1 + high[2] - low[2]) - 1;
  }
};

GridPlace placeInGrid(const FloatPoint& p, const CellGrid& grid) {
  const double coordinates[3] = {p.x, p.y, p.z};
  GridPlace place;
  for (int axis = 0; axis < 3; ++axis)
    cellRange(coordinates[axis], grid.origin[axis], grid.cellsPerUnit, place.cell[axis],
              place.low[axis], place.high[axis]);
  return place;
}

// Every finite position under its cell, and a question under each
// neighbouring cell it lies close enough to. The questions are counted
// before they are filed, so that their array takes only the room it needs
// (a position near a corner of its cell asks seven).
void fileByCell(const BigArray<FloatPoint>& positions, const CellGrid& grid,
                BigArray<CellEntry>& cells, BigArray<CellEntry>& questions) {
  std::size_t finite = 0;
  std::size_t asked = 0;
  for (const FloatPoint& p : positions) {
    if (!isFinite(p)) continue;
    ++finite;
    asked += placeInGrid(p, grid).neighbours();
  }
  cells.reserve(finite);
  questions.reserve(asked);
  for (uint32_t i = 0; i < positions.size(); ++i) {
    const FloatPoint& p = positions[i];
    if (!isFinite(p)) continue;
    const GridPlace place = placeInGrid(p, grid);
    const uint32_t own = cellKey(place.cell);
    cells.push_back({own, i});
    for (int dx = place.low[0]; dx <= place.high[0]; ++dx) {
      for (int dy = place.low[1]; dy <= place.high[1]; ++dy) {
        for (int dz = place.low[2]; dz <= place.high[2]; ++dz) {
          const int64_t neighbour[3] = {place.cell[0] + dx, place.cell[1] + dy, place.cell[2] + dz};
          const uint32_t key = cellKey(neighbour);
          if (key != own) questions.push_back({key, i});
        }
      }
    }
  }
}

// Within each key (the cells under one key count as one), in number order:
// every earlier position that coincides is a match. A position at exactly
// the place of an earlier one of its key coincides with the same positions, which have lower numbers, so
// it is dropped from the cell: a file that puts many vertices on one point
// (every vertex whose numbers fail to parse sits at the origin) keeps its
// cells as short as one with distinct points.
void matchWithinCells(const BigArray<FloatPoint>& positions, double tolerance,
                      BigArray<CellEntry>& cells, BigArray<uint32_t>& firstMatch) {
  std::size_t kept = 0;
  for (std::size_t start = 0; start < cells.size();) {
    const uint32_t key = cells[start].key;
    const std::size_t keptStart = kept;
    for (; start < cells.size() && cells[start].key == key; ++start) {
      // In cell order the positions are read at random places; asking for
      // one a few entries ahead lets those reads overlap.
      if (start + kReadAhead < cells.size())
        prefetchForReading(&positions[cells[start + kReadAhead].number]);
      const uint32_t i = cells[start].number;
      const FloatPoint& p = positions[i];
      bool placeTaken = false;
      for (std::size_t earlier = keptStart; earlier < kept; ++earlier) {
        const FloatPoint& candidate = positions[cells[earlier].number];
        if (!coincide(candidate, p, tolerance)) continue;
        lowerTo(firstMatch[i], cells[earlier].number);
        placeTaken = placeTaken || samePosition(candidate, p);
      }
      if (!placeTaken) cells[kept++] = cells[start];
    }
  }
  cells.resize(kept);
}

// Each question, in cell order beside the cells: the first position of the
// neighbouring cell, in number order, that comes before the asking one and
// coincides with it.
void answerQuestions(const BigArray<FloatPoint>& positions, double tolerance,
                     const BigArray<CellEntry>& cells, const BigArray<CellEntry>& questions,
                     BigArray<uint32_t>& firstMatch) {
  std::size_t cell = 0;
  for (const CellEntry& question : questions) {
    while (cell < cells.size() && cells[cell].key < question.key) ++cell;
    const FloatPoint& p = positions[question.number];
    for (std::size_t c = cell; c < cells.size() && cells[c].key == question.key; ++c) {
      const uint32_t j = cells[c].number;
      if (j >= question.number) break;
      if (coincide(positions[j], p, tolerance)) {
        lowerTo(firstMatch[question.number], j);
        break;
      }
    }
  }
}

}  // namespace

// First the lowest coinciding number of every position (which does not
// depend on the order positions are looked at, so they are looked at cell by
// cell, sorted), then the welds in number order, each from an earlier one.
void weldPositions(const BigArray<FloatPoint>& positions, VertexWeld& weld) {
  const std::size_t count = positions.size();
  BigArray<uint32_t>& firstMatch = weld.weldedTo;
  firstMatch.resize(count);
  for (uint32_t i = 0; i < count; ++i) firstMatch[i] = i;
  CellGrid grid{};
  const double diagonal = boundingDiagonal(positions, grid.origin);
  grid.tolerance = diagonal * kWeldToleranceRelative;
  grid.cellsPerUnit = 1.0 / (grid.tolerance * kCellsPerTolerance);
  weld.tolerance = grid.tolerance;
  if (diagonal == 0.0) {
    // Every finite position is the same point.
    uint32_t first = UINT32_MAX;
    for (uint32_t i = 0; i < count; ++i) {
      if (!isFinite(positions[i])) continue;
      if (first == UINT32_MAX) first = i;
      firstMatch[i] = first;
    }
  } else {
    BigArray<CellEntry> cells;
    BigArray<CellEntry> questions;
    fileByCell(positions, grid, cells, questions);
    BigArray<CellEntry> scratch(std::max(cells.size(), questions.size()));
    sortByCell(cells, scratch);
    sortByCell(questions, scratch);
    BigArray<CellEntry>().swap(scratch);
    matchWithinCells(positions, grid.tolerance, cells, firstMatch);
    answerQuestions(positions, grid.tolerance, cells, questions, firstMatch);
  }
  weld.identity = true;
  for (uint32_t i = 0; i < count; ++i) {
    if (firstMatch[i] == i) continue;
    weld.identity = false;
    weld.weldedTo[i] = weld.weldedTo[firstMatch[i]];
  }
}
