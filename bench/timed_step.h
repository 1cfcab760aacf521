// The steady clock around one step of a first run, in milliseconds: the
// standard library's, so that the first-run programs build on every system.
#pragma once

#include <chrono>

template <typename Step>
double timedMs(Step step) {
  const auto begin = std::chrono::steady_clock::now();
  step();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
  return took.count();
}
