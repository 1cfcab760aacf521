// The console listings. Their formats are read by other programs: no headers,
// separators or counts.
#include <cmath>

#include "mesh.h"
#include "view.h"

// A coordinate as glibc's "%f" writes it, on every system. C libraries agree
// on finite values, but not on the values that are not numbers: MinGW's
// drops the sign of a not-a-number, and older Windows ones write "1.#INF".
static void printCoordinate(std::FILE* out, float value) {
  if (std::isnan(value))
    std::fputs(std::signbit(value) ? "-nan " : "nan ", out);
  else if (std::isinf(value))
    std::fputs(value < 0 ? "-inf " : "inf ", out);
  else
    std::fprintf(out, "%f ", static_cast<double>(value));
}

// One listing line: the coordinates, then the id or flag.
static void printLine(std::FILE* out, const float* coordinates, int count, int number) {
  for (int i = 0; i < count; ++i) printCoordinate(out, coordinates[i]);
  std::fprintf(out, "%d\n", number);
}

static void printPoint(std::FILE* out, const Vertex* v, int number) {
  const float coordinates[] = {v->x, v->y, v->z};
  printLine(out, coordinates, 3, number);
}

void printVertexListing(std::FILE* out) {
  for (const Vertex* v = vertexHead->next; v != nullptr; v = v->next) printPoint(out, v, v->id);
  std::fflush(out);
}

void printEdgeListing(std::FILE* out) {
  for (const Edge* e = currentEdgeHead->next; e != nullptr; e = e->next) {
    printPoint(out, e->start, e->flag);
    printPoint(out, e->end, e->flag);
  }
  std::fflush(out);
}

void printFaceListing(std::FILE* out) {
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    const float corner[] = {f->e[0]->start->x, f->e[0]->start->y};
    printLine(out, corner, 2, f->e[0]->flag);
    printPoint(out, f->v[1], f->e[1]->flag);
    printPoint(out, f->v[2], f->e[2]->flag);
  }
  std::fflush(out);
}
