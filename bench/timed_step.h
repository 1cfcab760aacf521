// The clocks around one step of a first run, in milliseconds: the standard
// library's steady clock for the wall time, and the system (kernel) time of
// the whole process, every thread, where page faults are paid. Windows and
// POSIX systems each have their own call for the latter, so that the
// first-run programs build on both.
#pragma once

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

struct StepTimes {
  double ms;
  double systemMs;
};

inline double processSystemMs() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const unsigned long long ticks = (static_cast<unsigned long long>(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime;
  return static_cast<double>(ticks) * 1e-4;  // 100 ns ticks
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_stime.tv_sec) * 1e3 + static_cast<double>(usage.ru_stime.tv_usec) * 1e-3;
#endif
}

template <typename Step>
StepTimes timedStep(Step step) {
  const double systemBefore = processSystemMs();
  const auto begin = std::chrono::steady_clock::now();
  step();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
  return {took.count(), processSystemMs() - systemBefore};
}
