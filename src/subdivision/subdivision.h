// One pass of butterfly subdivision over the current mesh of the store.
//
// Every current triangle becomes four: its corners keep their records and
// positions, and each of its three sides gets a new vertex of its own (the
// two triangles along a shared side each get a copy). The new triangles and
// their edges are built into the next generation, classified, and copies of
// them made current; see subdivide for the full contract.
#pragma once

// Weight of the butterfly stencil's far corners (0.05, not the usual 1/16);
// the formula uses this float widened to double.
extern float tension;

// Runs one pass. Does nothing while no model is loaded (empty vertex list),
// nor, apart from one line on standard error, when the pass cannot be made:
// an id would pass passIdLimit or its memory cannot be had (pass_budget.h).
// New vertex ids continue after the last vertex's; faces and edges of the
// next generation are numbered 1, 2, 3 ... and copied into the current lists.
// The next edge list keeps the records the new faces point at, so it grows by
// twelve edges per split triangle until the next model change.
void subdivide();
