// One first run of our library, as the viewer makes it: a new process loads
// a mesh file and makes the passes one after another, each timed once from
// its call to its return. Prints "load MS TRIANGLES SYSTEM_MS" and then one
// "pass MS TRIANGLES SYSTEM_MS" line per pass (wall and system time of the
// step), for first_runs to collect.
#include <cstdio>
#include <cstdlib>

#include "loader.h"
#include "mesh.h"
#include "pass_budget.h"
#include "subdivision.h"
#include "timed_step.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: first_run_ours MESH.obj PASSES\n");
    return 2;
  }
  const int passes = std::atoi(argv[2]);
  initLists();
  const StepTimes load = timedStep([&] { loadMesh(argv[1]); });
  std::printf("load %.3f %llu %.3f\n", load.ms, static_cast<unsigned long long>(countMesh().faces),
              load.systemMs);
  for (int pass = 0; pass < passes; ++pass) {
    const StepTimes step = timedStep(subdivide);
    std::printf("pass %.3f %llu %.3f\n", step.ms, static_cast<unsigned long long>(countMesh().faces),
                step.systemMs);
  }
  return 0;
}
