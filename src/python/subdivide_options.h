// What a call of the module's subdivide asks for, in one record, read from
// its keyword arguments. Options of later kinds come in here, each with its
// check beside the others.
#pragma once

#include <optional>
#include <string>

#include "indexed_pass.h"

struct SubdivideOptions {
  int passes = 1;
  IndexedRule rule{false, static_cast<double>(0.05f)};  // the program's default
  bool weld = false;  // join coincident vertices first, as the program's reader does
  bool maxEdgeGiven = false;    // passes to a side length, as --max-edge
  double maxEdge = 0;           // a length, or a percentage of the bounding-box diagonal
  bool maxEdgePercent = false;
  double creaseAngle = -1.0;  // degrees, 0 to 180; negative: no creases
};

// The max_edge argument: absent, a number, or text as --max-edge takes it.
struct SideLengthArgument {
  bool given = false;
  bool isText = false;
  std::string text;
  double number = 0;
};

// The options of the arguments: rule "classic" or "modified"; tension only
// with the classic rule, a finite number read as a float and widened, as the
// program reads --tension; maxEdge the text of --max-edge ("0.5", "2%") or a
// number, as the program reads it; creaseAngle in degrees. False with the
// cause in error (the text of a ValueError) for a negative passes, an
// unknown rule, a tension that is not finite or is given with the modified
// rule, a side length below 0 or not finite, a percentage not above 0 or
// above 100, a side length of 0 with passes 0 (which would never end), a
// crease angle outside 0 to 180.
bool subdivideOptionsOf(int passes, const std::string& rule, std::optional<double> tension,
                        const SideLengthArgument& maxEdge, std::optional<double> creaseAngle, bool weld,
                        SubdivideOptions& options, std::string& error);
