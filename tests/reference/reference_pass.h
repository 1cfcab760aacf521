// The straightforward subdivision pass and edge classification that the
// indexed production code must match byte for byte. Every neighbourhood
// question is answered by a linear scan of the current lists, first match in
// list order; nothing is indexed beyond the weld of each vertex, which is
// itself found by scanning the vertex list.
#pragma once

// Classification by scanning: each edge of the generation counts the sides of
// the generation's faces joining its two vertex records (either direction),
// face by face in list order, and stops after the first face at which the
// count is exactly 2. Count 2 gives 0, count 1 gives 1, other counts leave the
// flag alone. Generation 1 selects the current lists, any other the next ones.
void referenceClassifyEdges(int generation);

// One subdivision pass over the store's lists, the obvious way: points from
// its own stencil, rim and ghost-corner rules (none of the production pass's
// code) over a lookup that scans, P0..P2 appended, four
// faces built by vertex id with makeFace, classification by
// referenceClassifyEdges, then the renumbered copies made current. Appends are
// checked (with gtest expectations) to land where a walk from the head ends.
void referenceSubdivide();
