// The benchmark's clock: CPU time of the calling thread, kernel time (page
// faults) included. Unlike wall time it does not count the time the thread
// waits while other programs on a busy machine run.
#pragma once

#include <time.h>

inline double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}
