#include "crease_lines.h"

namespace {

void addNeighbour(CreaseLines& lines, uint32_t v, uint32_t neighbour) {
  const uint32_t fresh = static_cast<uint32_t>(lines.vertices.size());
  const uint32_t slot = lines.slots.findOrInsert(v, 0, fresh);
  if (slot == fresh) {
    lines.vertices.push_back({{neighbour, neighbour}, 1});
    return;
  }
  CreaseVertex& entry = lines.vertices[slot];
  // The pair's other side, running the other way, names it again.
  if (entry.neighbours[0] == neighbour || (entry.count > 1 && entry.neighbours[1] == neighbour)) return;
  if (entry.count == 1) entry.neighbours[1] = neighbour;
  if (entry.count < 3) ++entry.count;
}

}  // namespace

void addCreaseSide(CreaseLines& lines, uint32_t a, uint32_t b) {
  addNeighbour(lines, a, b);
  addNeighbour(lines, b, a);
}

bool onCrease(const CreaseLines& lines, uint32_t v) { return lines.slots.find(v, 0) != nullptr; }

bool creaseLineBeyond(const CreaseLines& lines, uint32_t v, uint32_t from, uint32_t& found) {
  const uint32_t* slot = lines.slots.find(v, 0);
  if (slot == nullptr) return false;
  const CreaseVertex& entry = lines.vertices[*slot];
  if (entry.count != 2) return false;
  found = entry.neighbours[0] == from ? entry.neighbours[1] : entry.neighbours[0];
  return true;
}
