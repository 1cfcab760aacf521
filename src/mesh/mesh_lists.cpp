// List operations of the mesh store: heads, tails, appends, unlinks, emptying.
#include <cstdio>
#include <cstdlib>

#include "mesh.h"

Vertex* vertexHead = nullptr;
Edge* currentEdgeHead = nullptr;
Edge* nextEdgeHead = nullptr;
Face* currentFaceHead = nullptr;
Face* nextFaceHead = nullptr;

// Tails live beside the heads so that the head stays a plain head record.
// A tail equals its head while the list is empty.
static Vertex* vertexTail = nullptr;
static Edge* currentEdgeTail = nullptr;
static Edge* nextEdgeTail = nullptr;
static Face* currentFaceTail = nullptr;
static Face* nextFaceTail = nullptr;

template <typename Record>
static Record* allocateCopy(const Record& record) {
  auto* copy = static_cast<Record*>(std::malloc(sizeof(Record)));
  if (copy == nullptr) {
    std::fputs("out of memory: cannot hold the mesh\n", stderr);
    std::exit(EXIT_FAILURE);
  }
  *copy = record;
  return copy;
}

template <typename Record>
static Record* allocateHead() {
  Record head{};
  return allocateCopy(head);
}

void initLists() {
  if (vertexHead != nullptr) return;
  vertexHead = vertexTail = allocateHead<Vertex>();
  currentEdgeHead = currentEdgeTail = allocateHead<Edge>();
  nextEdgeHead = nextEdgeTail = allocateHead<Edge>();
  currentFaceHead = currentFaceTail = allocateHead<Face>();
  nextFaceHead = nextFaceTail = allocateHead<Face>();
}

Edge* edgeHead(int generation) {
  return generation == kCurrentGeneration ? currentEdgeHead : nextEdgeHead;
}

Face* faceHead(int generation) {
  return generation == kCurrentGeneration ? currentFaceHead : nextFaceHead;
}

static Edge*& edgeTail(int generation) {
  return generation == kCurrentGeneration ? currentEdgeTail : nextEdgeTail;
}

static Face*& faceTail(int generation) {
  return generation == kCurrentGeneration ? currentFaceTail : nextFaceTail;
}

Vertex* lastVertex() { return vertexTail == vertexHead ? nullptr : vertexTail; }

template <typename Record>
static Record* linkAfterTail(const Record& record, Record*& tail) {
  Record* element = allocateCopy(record);
  element->next = tail->next;
  element->prev = tail;
  tail->next = element;
  tail = element;
  return element;
}

Vertex* appendVertex(const Vertex& record) { return linkAfterTail(record, vertexTail); }

Edge* appendEdge(const Edge& record, int generation) {
  return linkAfterTail(record, edgeTail(generation));
}

Face* appendFace(const Face& record, int generation) {
  return linkAfterTail(record, faceTail(generation));
}

// A record knows neither its list nor its tail, so the tails that could hold
// it are given; the one that does steps back to the record's predecessor.
template <typename Record>
static bool unlinkRecord(Record* record, Record*& tailA, Record*& tailB) {
  if (record == nullptr || record->prev == nullptr) return false;
  if (tailA == record) tailA = record->prev;
  if (tailB == record) tailB = record->prev;
  record->prev->next = record->next;
  if (record->next != nullptr) record->next->prev = record->prev;
  std::free(record);
  return true;
}

bool unlinkVertex(Vertex* record) { return unlinkRecord(record, vertexTail, vertexTail); }

bool unlinkEdge(Edge* record) { return unlinkRecord(record, currentEdgeTail, nextEdgeTail); }

bool unlinkFace(Face* record) { return unlinkRecord(record, currentFaceTail, nextFaceTail); }

// Frees in one sweep rather than unlink by unlink; the result is the same.
template <typename Record>
static void freeAfter(Record* head, Record*& tail) {
  Record* element = head->next;
  while (element != nullptr) {
    Record* following = element->next;
    std::free(element);
    element = following;
  }
  head->next = nullptr;
  tail = head;
}

void emptyList(Vertex* head) { freeAfter(head, vertexTail); }

void emptyList(Edge* head) {
  freeAfter(head, head == currentEdgeHead ? currentEdgeTail : nextEdgeTail);
}

void emptyList(Face* head) {
  freeAfter(head, head == currentFaceHead ? currentFaceTail : nextFaceTail);
}
