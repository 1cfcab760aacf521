// The benchmark's clocks. Our pass runs on every core, so passes and loads
// are timed by the wall clock, as OpenMesh's single-threaded pass is; the CPU
// time of the whole process (every thread, kernel time for page faults
// included) says how much work our pass took on all cores together. The wall
// clock also counts the time other programs on a busy machine take, which is
// why every row is the fastest of several runs.
#pragma once

#include <time.h>

inline double clockMs(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

inline double wallMs() { return clockMs(CLOCK_MONOTONIC); }
inline double processCpuMs() { return clockMs(CLOCK_PROCESS_CPUTIME_ID); }
