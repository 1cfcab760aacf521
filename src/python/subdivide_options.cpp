#include "subdivide_options.h"

#include <cmath>
#include <limits>

bool subdivideOptionsOf(int passes, const std::string& rule, std::optional<double> tension, bool weld,
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
