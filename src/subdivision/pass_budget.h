// What a subdivision pass will need, and whether the process can have it.
//
// The pass asks here before it changes anything: passNeeds works the needs out
// from counts of the current mesh (the ids the pass would hand out, the records
// it would add, an estimate of its neighbourhood index), and passCanBeMade says
// whether an id would pass the id limit or the bytes cannot be had. Nothing here
// touches the store's lists or allocates, and neither does the platform's
// memory probe it asks (systemMemoryAvailable, platform.h), since it is asked
// exactly when memory may have run out.
//
// Both limits are globals so that tests can reach them with small meshes:
// passIdLimit (the largest id a pass may hand out) and memoryAvailable (how many
// bytes the process may still take). Standard error gets the refusals.
#pragma once

#include <cstdint>

#include "platform.h"

// Ids are int32_t: the largest one a record can carry.
constexpr int64_t kLargestId = 2147483647;

// The largest vertex, edge or face id a pass may hand out; kLargestId unless a
// test lowers it.
extern int64_t passIdLimit;

// Bytes the process can still take; systemMemoryAvailable unless a test puts
// another function here.
extern uint64_t (*memoryAvailable)();

// The counts of the store a pass starts from.
struct MeshCounts {
  uint64_t faces;        // current face list
  uint64_t readerEdges;  // current edges that came from a load, which the pass frees
  int64_t lastEdgeId;    // id of the last edge of earlier passes, 0 before the first
  int64_t lastVertexId;  // id of the last vertex (ids run 1, 2, 3 ... in list order)
};

struct PassNeeds {
  // The largest ids the pass would hand out.
  int64_t lastVertexId;
  int64_t lastEdgeId;
  // The records to reserve before anything is freed: those the pass appends,
  // less the faces and the reader's edges it frees before appending.
  uint64_t vertices;
  uint64_t edges;
  uint64_t faces;
  // Those records, the index, and room to draw and print the result.
  uint64_t bytes;
};

// The counts of the store as it is now, between passes: walks the current
// face list, and the current edge list after a load. The vertex list must not
// be empty.
MeshCounts countMesh();

PassNeeds passNeeds(const MeshCounts& counts);

// True when the pass can be made. Otherwise false, with one line on standard
// error saying the pass was not made, why, and how much memory it needs: an id
// would pass passIdLimit (memoryAvailable is not asked then), or the bytes are
// more than memoryAvailable gives.
bool passCanBeMade(const PassNeeds& needs);

// The lines for a pass that ran out of memory while building its index, and
// for one whose records the store could not reserve.
void reportIndexOutOfMemory(const PassNeeds& needs);
void reportRecordsOutOfMemory(const PassNeeds& needs);
