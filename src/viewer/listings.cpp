// The console listings. Their formats are read by other programs: no headers,
// separators or counts.
#include "mesh.h"
#include "view.h"

void printVertexListing(std::FILE* out) {
  for (const Vertex* v = vertexHead->next; v != nullptr; v = v->next)
    std::fprintf(out, "%f %f %f %d\n", v->x, v->y, v->z, v->id);
  std::fflush(out);
}

void printEdgeListing(std::FILE* out) {
  for (const Edge* e = currentEdgeHead->next; e != nullptr; e = e->next) {
    std::fprintf(out, "%f %f %f %d\n", e->start->x, e->start->y, e->start->z, e->flag);
    std::fprintf(out, "%f %f %f %d\n", e->end->x, e->end->y, e->end->z, e->flag);
  }
  std::fflush(out);
}

void printFaceListing(std::FILE* out) {
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    std::fprintf(out, "%f %f %d\n", f->e[0]->start->x, f->e[0]->start->y, f->e[0]->flag);
    std::fprintf(out, "%f %f %f %d\n", f->v[1]->x, f->v[1]->y, f->v[1]->z, f->e[1]->flag);
    std::fprintf(out, "%f %f %f %d\n", f->v[2]->x, f->v[2]->y, f->v[2]->z, f->e[2]->flag);
  }
  std::fflush(out);
}
