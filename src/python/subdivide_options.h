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
};

// The options of the arguments: rule "classic" or "modified"; tension only
// with the classic rule, a finite number read as a float and widened, as the
// program reads --tension. False with the cause in error (the text of a
// ValueError) for a negative passes, an unknown rule, a tension that is not
// finite or is given with the modified rule.
bool subdivideOptionsOf(int passes, const std::string& rule, std::optional<double> tension, bool weld,
                        SubdivideOptions& options, std::string& error);
