// One pass of butterfly subdivision over the current mesh of the store.
//
// Every current triangle becomes four: its corners keep their records and
// positions, and each of its three sides gets a new vertex of its own (the
// two triangles along a shared side each get a copy). The new triangles and
// their edges are built into the next generation, classified, and moved into
// the current lists; see subdivide for the full contract.
#pragma once

// Weight of the butterfly stencil's far corners (0.05, not the usual 1/16);
// the formula uses this float widened to double.
extern float tension;

// Runs one pass. Does nothing while no model is loaded (empty vertex list),
// nor, apart from one line on standard error, when the pass cannot be made:
// an id would pass passIdLimit or its memory cannot be had (pass_budget.h).
// New vertex ids continue after the last vertex's. The current faces are
// freed and the new ones, numbered 1, 2, 3 ..., take their place; the first
// pass after a load frees the reader's edges too. Each pass's twelve edges
// per split triangle are written with their final flags and with ids that
// continue after the current edge list's last, and go onto its end, so the
// list grows with every pass until the next model change.
void subdivide();
