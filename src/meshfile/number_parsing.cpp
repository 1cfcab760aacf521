#include "number_parsing.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

namespace {

template <typename T>
bool parseWord(const char* begin, const char* end, T& value) {
  if (begin < end && *begin == '+' && begin + 1 < end && begin[1] != '-' && begin[1] != '+') ++begin;
  if (begin == end) return false;
  const std::from_chars_result result = std::from_chars(begin, end, value);
  if (result.ptr != end) return false;
  if (result.ec == std::errc()) return true;
  if (result.ec != std::errc::result_out_of_range) return false;
  const std::string copy(begin, end);
  value = static_cast<T>(std::strtod(copy.c_str(), nullptr));
  return true;
}

}  // namespace

bool parseFloatWord(const char* begin, const char* end, float& value) { return parseWord(begin, end, value); }

bool parseDoubleWord(const char* begin, const char* end, double& value) { return parseWord(begin, end, value); }
