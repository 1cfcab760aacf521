// Running a call's passes off the Python thread. The passes run on a thread
// of their own, which never touches Python, while the calling thread waits
// without the GIL and wakes every few milliseconds to run Python's signal
// handlers and to report progress. Ctrl-C (KeyboardInterrupt), or an
// exception from the progress callable, sets the passes' stop flag
// (parallel_ranges.h): the pass under way stops at its next slice, and the
// exception reaches the caller once the thread has ended. No thread outlives
// the call.
//
// Before each pass the program's rule decides whether it can be made
// (surfacePassSize, or for a pass to a length surfaceLengthPassSize, against
// pass_budget.h's memoryAvailable, and the 32-bit numbers of the indexed
// mesh); a pass that cannot is not started. Attributes are carried by every
// pass, and passes to a length run as the program's --max-edge runs them.
#pragma once

#include <pybind11/pybind11.h>

#include "mesh_attributes.h"
#include "subdivide_options.h"

// The passes of options on the classified mesh (its creases marked, when
// asked), which ends as the last pass's result. Needs the GIL. Throws pybind11::error_already_set with
// MemoryError for a pass refused or out of memory (the mesh is then that of
// the passes made), with KeyboardInterrupt for Ctrl-C, or with what progress
// raised. progress, when not None, is called with 0.0 when the passes start
// and after each pass with the share of the work done so far (passes
// weighted by their triangles, 1.0 after the last), from the calling thread;
// passes to a length, whose number is not known ahead, report 1 - 4^-k after
// pass k and 1.0 once no side is left longer or the passes run out.
void runPasses(SurfaceMesh& mesh, const SubdivideOptions& options, pybind11::object progress);
