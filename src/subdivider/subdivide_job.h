// The whole job of meshsubdivide: read the input, weld it, make the passes,
// write the result whole or not at all. Every failure ends the job with one
// line on the error stream, "meshsubdivide: FILE: cause", and a status.
#pragma once

#include <cstdio>

#include "options.h"

constexpr int kStatusWritten = 0;
// A bad option, an input that cannot be read or holds no triangle, an output
// that cannot be written or is the input.
constexpr int kStatusUnusable = 2;
// A pass that cannot fit: in memory (pass_budget.h's memoryAvailable says
// how much can be had), or in the 32-bit numbers of the indexed mesh.
constexpr int kStatusTooLarge = 3;

// Runs the job of settings (help and version aside). The mesh goes to
// settings.output, or to `out` when that is empty or "-". Progress and
// errors go to `err`, progress only when `err` is a terminal or
// settings.progress asks for it.
int runSubdivideJob(const SubdivideSettings& settings, std::FILE* out, std::FILE* err);
