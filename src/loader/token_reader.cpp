#include "token_reader.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// The separators, as a table: the scan asks once per byte of the file.
struct SpaceTable {
  bool space[256];
};

constexpr SpaceTable makeSpaceTable() {
  SpaceTable table{};
  for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table.space[static_cast<unsigned char>(c)] = true;
  return table;
}

constexpr SpaceTable kSpaces = makeSpaceTable();

static bool isSpace(char c) { return kSpaces.space[static_cast<unsigned char>(c)]; }

void startTokens(TokenReader& reader, std::FILE* file) {
  reader.file = file;
  reader.position = 0;
  reader.filled = 0;
  reader.pushedBack = false;
}

// Reads the next block once the current one is used up; false at the end of
// the file (or on a read error), with nothing left to scan.
static bool refill(TokenReader& reader) {
  if (reader.position < reader.filled) return true;
  reader.filled = std::fread(reader.block, 1, sizeof reader.block, reader.file);
  reader.position = 0;
  return reader.filled != 0;
}

// Scans the block a run at a time rather than a byte per call: loading a
// large file spends most of its time here and in the number parsing. A token
// may straddle two blocks, so its bytes are gathered across refills.
bool nextToken(TokenReader& reader, Token& token) {
  if (reader.pushedBack) {
    reader.pushedBack = false;
    token = reader.pending;
    return true;
  }
  std::size_t length = 0;
  bool inToken = false;
  bool tooLong = false;
  for (;;) {
    if (!refill(reader)) {
      if (!inToken || tooLong) return false;
      break;
    }
    const char* const end = reader.block + reader.filled;
    const char* p = reader.block + reader.position;
    if (!inToken) {
      while (p != end && isSpace(*p)) ++p;
      reader.position = static_cast<std::size_t>(p - reader.block);
      if (p == end) continue;
      inToken = true;
      length = 0;
      tooLong = false;
    }
    const char* const start = p;
    while (p != end && !isSpace(*p)) ++p;
    const std::size_t run = static_cast<std::size_t>(p - start);
    if (!tooLong && length + run <= kMaxTokenLength) {
      std::memcpy(token.text + length, start, run);
      length += run;
    } else {
      tooLong = true;
    }
    reader.position = static_cast<std::size_t>(p - reader.block);
    if (p == end) continue;  // the token may go on in the next block
    if (!tooLong) break;
    inToken = false;  // skipped whole; look for the next one
  }
  token.text[length] = '\0';
  token.length = length;
  return true;
}

void pushBackToken(TokenReader& reader, const Token& token) {
  reader.pending = token;
  reader.pushedBack = true;
}

static bool hasInnerNul(const Token& token) { return std::strlen(token.text) != token.length; }

// Doubles that hold 10^k exactly (5^22 < 2^53).
static const double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
constexpr uint64_t kLargestExactInteger = uint64_t{1} << 53;

// The float strtof gives for a plain decimal token (optional sign, digits
// with at most one point, an optional decimal exponent) whose digits m and
// exponent e make m * 10^e one correctly rounded double operation: m and
// 10^|e| are exact doubles, so the product or quotient is the exact value
// rounded once. Rounding that double to float again rounds the exact value
// correctly unless the double lies on a float midpoint, where the first
// rounding may have decided the tie; such tokens, and every other form
// (hexadecimal, inf, nan, long digit strings, large exponents, anything
// strtof would stop inside), return false and are left to strtof.
static bool parsePlainDecimal(const char* p, const char* end, float& value) {
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  uint64_t digits = 0;
  int significant = 0;  // digits taken since the first nonzero one
  int exponent = 0;
  bool anyDigit = false;
  bool pointSeen = false;
  for (; p != end; ++p) {
    if (*p == '.' && !pointSeen) {
      pointSeen = true;
      continue;
    }
    const unsigned digit = static_cast<unsigned char>(*p) - '0';
    if (digit > 9) break;
    anyDigit = true;
    if (pointSeen) --exponent;
    if (digits == 0 && digit == 0) continue;
    if (++significant > 19) return false;  // would overflow 64 bits
    digits = digits * 10 + digit;
  }
  if (!anyDigit) return false;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p != end && (*p == '-' || *p == '+')) {
      negativeExponent = *p == '-';
      ++p;
    }
    int written = 0;
    int exponentDigits = 0;
    for (; p != end; ++p) {
      const unsigned digit = static_cast<unsigned char>(*p) - '0';
      if (digit > 9) break;
      if (++exponentDigits > 4) return false;
      written = written * 10 + static_cast<int>(digit);
    }
    if (exponentDigits == 0) return false;
    exponent += negativeExponent ? -written : written;
  }
  if (p != end) return false;
  if (digits == 0) {
    value = negative ? -0.0f : 0.0f;
    return true;
  }
  if (digits > kLargestExactInteger || exponent < -kLargestExactPower ||
      exponent > kLargestExactPower) {
    return false;
  }
  const double exact = static_cast<double>(digits);
  const double rounded = exponent < 0 ? exact / kExactPowersOfTen[-exponent]
                                      : exact * kExactPowersOfTen[exponent];
  // rounded lies within [1e-22, 2^53 * 1e22], inside the normal floats, where
  // a float keeps 24 of the double's 53 significant bits: the 29 dropped bits
  // are exactly 1 followed by zeros on a midpoint.
  uint64_t bits;
  std::memcpy(&bits, &rounded, sizeof bits);
  constexpr uint64_t kDropped = (uint64_t{1} << 29) - 1;
  if ((bits & kDropped) == (uint64_t{1} << 28)) return false;
  const float magnitude = static_cast<float>(rounded);
  value = negative ? -magnitude : magnitude;
  return true;
}

bool parseCoordinate(const Token& token, float& value) {
  if (parsePlainDecimal(token.text, token.text + token.length, value)) return true;
  if (token.length == 0 || hasInnerNul(token)) return false;
  char* end = nullptr;
  float parsed = std::strtof(token.text, &end);
  if (end != token.text + token.length) return false;
  value = parsed;
  return true;
}

bool parseIndex(const Token& token, int& value) {
  const char* p = token.text;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (*p - '0');
  }
  if (*p != '\0' && *p != '/') return false;
  if (*p == '\0' && p != token.text + token.length) return false;
  long long signedValue = negative ? -magnitude : magnitude;
  value = (signedValue > INT_MAX || signedValue < INT_MIN) ? 0 : static_cast<int>(signedValue);
  return true;
}
