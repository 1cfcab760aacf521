// Numbers in the words of mesh text files (OBJ, PLY's ascii form, ASCII
// STL, OFF), parsed alike by every reader. Nothing is kept between calls.
#pragma once

#include <cstdint>

// The float that the characters [begin, end) spell, with an optional "+"
// before it; a number that overflows a float is infinite, one too small for
// it is zero or a subnormal, as strtod's nearest double narrowed gives them.
// False when the characters are not one whole number.
bool parseFloatWord(const char* begin, const char* end, float& value);

// The same for a double.
bool parseDoubleWord(const char* begin, const char* end, double& value);
