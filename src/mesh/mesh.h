// The mesh store: vertices, directed triangle sides (edges) and triangles
// (faces), each kind in a doubly linked list that starts at a head record.
//
// Ownership: every element is owned by the list that holds it; its memory
// comes from the store's pool for its record type (slabs cut into records,
// with a free list), not from one heap allocation per record. Appending
// copies the caller's record, so callers build records in local storage and
// may reuse them; pointers inside a copy (a face's v and e, an edge's start
// and end) keep pointing where the source's did. Unlinking or emptying gives
// elements back to their pool, which hands them out again; a pointer to a
// given-back element is stale (the sanitizer build reports its use). When the
// store holds no element at all (every list emptied, as a model change does),
// the pools return their slabs to the heap.
//
// Invariants a caller can rely on:
//  - a list's head is the only record with a null prev; its other fields are
//    never set or read; the first element is head->next, the last element has
//    a null next;
//  - edges and faces exist in two generations: 1 is the current generation
//    (drawn, listed, searched), 2 the next one, where a subdivision pass builds
//    before moving it into the current lists; the vertex list serves both;
//  - between passes both next lists are empty, and every current face points
//    at vertex records of the vertex list and at edge records of the current
//    edge list;
//  - after a load the current edge list holds the reader's edges, three per
//    face; the first pass frees them, and from then on the list holds the
//    edges of every pass on the model in the order made, ids 1, 2, 3 ...:
//    the current faces point at the last pass's edges, the earlier passes'
//    edges are pointed at by no face and are kept for the edge listing;
//  - unlinking a record that a face points at (its corners, its edges) leaves
//    that face with a stale pointer: do not, while the face is in a list; an
//    edge of an earlier pass may be unlinked, nothing points at it;
//  - every list also has a tail kept beside its head (never inside it), so
//    appends take constant time;
//  - an edge's flag is 0 (interior) or 1 (boundary) once classification has
//    decided it, and kFlagUndecided before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Vertex {
  int32_t id;
  float x, y, z;  // contiguous: &x serves as a three-float vector
  Vertex* prev;
  Vertex* next;
};

struct Edge {
  int32_t id;
  uint8_t flag;
  Vertex* start;
  Vertex* end;
  Edge* prev;
  Edge* next;
};

// e[0] runs from v[0] to v[1], e[1] from v[1] to v[2], e[2] from v[2] to v[0].
struct Face {
  int32_t id;
  Vertex* v[3];
  Edge* e[3];
  Face* prev;
  Face* next;
};

constexpr uint8_t kFlagInterior = 0;
constexpr uint8_t kFlagBoundary = 1;
// Carried by every new edge until classification decides it.
constexpr uint8_t kFlagUndecided = 2;

constexpr int kCurrentGeneration = 1;
constexpr int kNextGeneration = 2;

extern Vertex* vertexHead;
extern Edge* currentEdgeHead;
extern Edge* nextEdgeHead;
extern Face* currentFaceHead;
extern Face* nextFaceHead;

// Allocates the five heads (vertex, current edge, next edge, current face,
// next face) with null links. Call once, before any other operation; a second
// call is ignored.
void initLists();

// Head of the edge or face list of a generation: 1 selects the current lists,
// any other value the next ones.
Edge* edgeHead(int generation);
Face* faceHead(int generation);

// The last element of the vertex list, or of the edge list of a generation,
// or nullptr while that list is empty.
Vertex* lastVertex();
Edge* lastEdge(int generation);

// The hand-over of a subdivision pass: links the next faces, in order, after
// the last current face, and the next edges after the last current edge,
// leaving both next lists empty. No record moves in memory, so pointers to
// them stay valid. Constant time.
void moveNextToCurrent();

// True when the current edge list holds edges moved there by
// moveNextToCurrent (the edges of every pass since it was last empty);
// false once it is empty, as before a load, so the reader's edges are told
// apart.
bool currentEdgesFromPasses();

// Copy the record into a new element linked after the list's last element and
// return the new element. Constant time. When no memory can be had, return
// nullptr and change nothing.
Vertex* appendVertex(const Vertex& record);
Edge* appendEdge(const Edge& record, int generation);
Face* appendFace(const Face& record, int generation);

// Takes memory now so that the next `vertices` appendVertex calls, `edges`
// appendEdge calls and `faces` appendFace calls cannot fail for want of it.
// Returns false, leaving every list and every earlier reservation as it was,
// when that memory cannot be had. Room reserved and not used stays with the
// store until the store holds no element at all, which gives it back.
bool reserveRecords(std::size_t vertices, std::size_t edges, std::size_t faces);

// Where the next `vertices` appendVertex, `edges` appendEdge and `faces`
// appendFace calls will put the records that no given-back record serves:
// room in the pools' slabs not handed out yet, vertex ranges first, then
// edge and face ranges, each in the order it will be filled. The ranges hold
// no record, and are right until the next append, unlink, empty or
// reservation. A pass has another core fault their pages in (madvise, which
// reads and writes no byte of them) while it appends the records.
struct MemoryRange {
  void* start;
  std::size_t bytes;
};
std::vector<MemoryRange> roomForRecords(std::size_t vertices, std::size_t edges, std::size_t faces);

// Given a head (null prev), return false and change nothing; otherwise join
// the record's neighbours, free the record and return true.
bool unlinkVertex(Vertex* record);
bool unlinkEdge(Edge* record);
bool unlinkFace(Face* record);

// Unlink every element after the head; the head stays and takes new appends.
// Constant time per pool slab when the other list of the type is empty.
void emptyList(Vertex* head);
void emptyList(Edge* head);
void emptyList(Face* head);

// Sets the flag of every edge of the generation by counting the sides of the
// generation's faces that join the same two vertex records (either direction).
// Faces are scanned in list order and the count for an edge stops growing at
// the first face after which it is exactly 2: a count of 2 gives 0 (interior),
// 1 gives 1 (boundary), any other count leaves the flag as it was. Linear time.
void classifyEdges(int generation);

// The first face of the current face list with a side running from a to b,
// provided the current edge list holds an edge from a to b; nullptr otherwise.
// Linear scan; the subdivision pass uses its own index for the same question.
Face* findFaceByEdge(const Vertex* a, const Vertex* b);

// The first corner of f, in the order v[0], v[1], v[2], that is neither a nor
// b; nullptr when f is null or every corner is a or b.
Vertex* thirdCorner(const Face* f, const Vertex* a, const Vertex* b);

// Builds the triangle A, B, C from three vertex ids (the last vertex with an
// id wins) into the next generation: three edges A->B, B->C, C->A appended to
// the next edge list, then a face pointing at those records appended to the
// next face list. Returns the appended face, or nullptr, appending nothing,
// when an id matches no vertex. Ids and flags of the new records are left for
// the subdivision pass to set (the flags start undecided).
Face* makeFace(int ia, int ib, int ic);

// makeFace with the corners already at hand. Returns nullptr only when memory
// cannot be had (the edges appended before stay), which reserveRecords(0, 3, 1)
// beforehand rules out.
Face* makeFaceFromCorners(Vertex* a, Vertex* b, Vertex* c);
