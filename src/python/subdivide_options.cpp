#include "subdivide_options.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// A length from 0 on, or "P%" with 0 < P <= 100, as --max-edge takes them.
bool readSideLength(const SideLengthArgument& argument, SubdivideOptions& options) {
  double value = argument.number;
  bool percent = false;
  if (argument.isText) {
    const std::string& text = argument.text;
    percent = !text.empty() && text.back() == '%';
    const char* end = text.data() + text.size() - (percent ? 1 : 0);
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return false;
  }
  if (!std::isfinite(value) || (percent ? !(value > 0 && value <= 100) : !(value >= 0))) return false;
  options.maxEdgeGiven = true;
  options.maxEdge = value;
  options.maxEdgePercent = percent;
  return true;
}

std::string argumentText(const SideLengthArgument& argument) {
  return argument.isText ? "'" + argument.text + "'" : std::to_string(argument.number);
}

}  // namespace

bool subdivideOptionsOf(int passes, const std::string& rule, std::optional<double> tension,
                        const SideLengthArgument& maxEdge, std::optional<double> creaseAngle, bool weld,
                        SubdivideOptions& options, std::string& error) {
  if (passes < 0) {
    error = "passes must be 0 or more, not " + std::to_string(passes);
    return false;
  }
  if (rule != "classic" && rule != "modified") {
    error = "rule must be 'classic' or 'modified', not '" + rule + "'";
    return false;
  }
  options.passes = passes;
  options.weld = weld;
  options.rule.modified = rule == "modified";
  if (maxEdge.given && !readSideLength(maxEdge, options)) {
    error = "max_edge must be a length from 0 on or a percentage above 0% up to 100%, not " + argumentText(maxEdge);
    return false;
  }
  if (options.maxEdgeGiven && options.maxEdge == 0 && passes == 0) {
    error = "max_edge 0 splits every side of every pass; give the passes";
    return false;
  }
  if (creaseAngle) {
    if (!(*creaseAngle >= 0.0 && *creaseAngle <= 180.0)) {
      error = "crease_angle must be a number of degrees from 0 to 180, not " + std::to_string(*creaseAngle);
      return false;
    }
    options.creaseAngle = *creaseAngle;
  }
  if (!tension) return true;
  if (options.rule.modified) {
    error = "the modified rule has no tension";
    return false;
  }
  if (!(std::fabs(*tension) <= std::numeric_limits<float>::max())) {
    error = "tension must be a finite number within a float's range, not " + std::to_string(*tension);
    return false;
  }
  options.rule.tension = static_cast<double>(static_cast<float>(*tension));
  return true;
}
