// Progress of a long run on standard error, for a person watching: on a
// terminal one line, rewritten in place, that appears once the run has
// taken about a second (short runs show nothing); elsewhere only when asked
// for, one line a step. The record is the caller's; notes never fail.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

struct Progress {
  std::FILE* stream = nullptr;
  bool terminal = false;  // rewrite one line in place
  bool asked = false;     // show every step, from the start
  std::chrono::steady_clock::time_point start;
  std::size_t shownWidth = 0;  // the line on screen, to be cleared
  std::chrono::steady_clock::time_point lastShown;
};

Progress startProgress(std::FILE* stream, bool terminal, bool asked);

// Shows the step, when the rules above say so. Steps that come fast (the
// blocks of a write) are shown at most ten times a second on a terminal;
// pass `routine` for them, so that elsewhere they are left out.
void noteProgress(Progress& progress, const std::string& step, bool routine = false);

// Ends the line on a terminal, so that whatever comes next starts clean.
void endProgress(Progress& progress);

double secondsSince(const Progress& progress);
