// Coordinate parsing: the reader computes plain decimals itself and leaves
// everything else to strtof, so every token must give the bits strtof gives,
// and be accepted or refused exactly when strtof consumes all of it. The
// generated tokens aim at where a shortcut would go wrong: near-ties between
// two floats, long digit strings, the ends of the exponent range, and forms
// that are almost numbers.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "token_reader.h"

namespace {

Token tokenOf(const std::string& text) {
  Token token{};
  std::memcpy(token.text, text.data(), text.size());
  token.text[text.size()] = '\0';
  token.length = text.size();
  return token;
}

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The accepting rule of the reader before it parsed anything itself.
bool strtofTakesAll(const std::string& text, float& value) {
  if (text.empty() || std::strlen(text.c_str()) != text.size()) return false;
  char* end = nullptr;
  const float parsed = std::strtof(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return false;
  value = parsed;
  return true;
}

// Compares every text; returns how many strtof accepted, so a caller can
// tell its generator made numbers and not only refusals.
int expectSameAsStrtof(const std::vector<std::string>& texts) {
  int accepted = 0;
  int mismatches = 0;
  for (const std::string& text : texts) {
    float expected = 12345.0f;
    float got = 12345.0f;
    const bool expectedOk = strtofTakesAll(text, expected);
    const bool gotOk = parseCoordinate(tokenOf(text), got);
    accepted += expectedOk ? 1 : 0;
    if (gotOk == expectedOk && (!gotOk || bitsOf(got) == bitsOf(expected))) continue;
    if (++mismatches <= 10) {
      ADD_FAILURE() << "\"" << text << "\": strtof " << (expectedOk ? "accepts " : "refuses ")
                    << std::hexfloat << expected << ", parseCoordinate "
                    << (gotOk ? "accepts " : "refuses ") << got;
    }
  }
  EXPECT_EQ(mismatches, 0);
  return accepted;
}

std::string printed(const char* format, int precision, double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, precision, value);
  return text;
}

// A positive float spread over the whole exponent range, subnormals included,
// or over the range a mesh's coordinates usually take.
float randomFloat(std::mt19937& random, bool everyExponent) {
  if (everyExponent) {
    uint32_t bits = random() & 0x7F7FFFFFu;  // positive, finite
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-30, 30);
  return std::ldexp(mantissa(random), exponent(random));
}

TEST(CoordinateParse, FloatsPrintedAtEveryPrecisionMatchStrtof) {
  std::mt19937 random(20261208);
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) {
    const float value = randomFloat(random, i % 4 == 0);
    const double sign = i % 3 == 0 ? -1.0 : 1.0;
    for (int precision = 1; precision <= 12; ++precision) {
      texts.push_back(printed("%.*g", precision, sign * value));
    }
    texts.push_back(printed("%.*e", 1 + static_cast<int>(random() % 10), sign * value));
    texts.push_back(printed("%.*f", static_cast<int>(random() % 12), sign * value));
  }
  EXPECT_EQ(expectSameAsStrtof(texts), static_cast<int>(texts.size()));
}

// Halfway between two neighbouring floats, printed to 6 to 17 significant
// digits: the decimals closest to a tie, where one rounding through a double
// can decide it wrongly, and exactly on it with enough digits.
TEST(CoordinateParse, DecimalsNearAndOnTiesMatchStrtof) {
  std::mt19937 random(7);
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) {
    const float below = randomFloat(random, i % 2 == 0);
    const float above = std::nextafter(below, FLT_MAX);
    const double tie = (static_cast<double>(below) + static_cast<double>(above)) / 2;
    for (int precision = 6; precision <= 17; ++precision) {
      texts.push_back(printed("%.*g", precision, tie));
    }
    texts.push_back(printed("%.*g", 60, tie));  // every digit of the tie
    // The doubles next to the tie, whose nearest float is not in question.
    texts.push_back(printed("%.*g", 17, std::nextafter(tie, 0.0)));
    texts.push_back(printed("%.*g", 17, std::nextafter(tie, 1e300)));
  }
  EXPECT_EQ(expectSameAsStrtof(texts), static_cast<int>(texts.size()));
}

// Digit strings of every length up to 24 with the point anywhere, a sign or
// none, an exponent or none: these reach the limits of the reader's own
// parsing (19 digits, 2^53, 10^22) from both sides.
TEST(CoordinateParse, GeneratedDecimalsMatchStrtof) {
  std::mt19937 random(99);
  std::vector<std::string> texts;
  const char* signs[] = {"", "", "-", "+"};
  const char* exponentMarks[] = {"e", "E"};
  const char* exponentSigns[] = {"", "-", "+"};
  for (int i = 0; i < 100000; ++i) {
    std::string text = signs[random() % 4];
    const int digits = 1 + static_cast<int>(random() % 24);
    const int point = static_cast<int>(random() % (digits + 2)) - 1;  // -1: no point
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      // Leading zeros and nines often, to try the carries and the zero rules.
      const unsigned kind = random() % 8;
      text += kind == 0 ? '0' : kind == 1 ? '9' : static_cast<char>('0' + random() % 10);
    }
    if (point == digits) text += '.';
    if (random() % 2 == 0) {
      text += exponentMarks[random() % 2];
      text += exponentSigns[random() % 3];
      text += std::to_string(random() % 2 == 0 ? random() % 25 : random() % 60);
    }
    texts.push_back(text);
  }
  EXPECT_GT(expectSameAsStrtof(texts), 90000);
}

TEST(CoordinateParse, AlmostNumbersAndOtherFormsMatchStrtof) {
  const std::vector<std::string> texts = {
      "0", "-0", "+0", "0.0", "-0.000", "0e0", "-0e-999", "00000", ".0", "0.",
      "1", "1.", ".5", "-.5", "+.5e+1", "1e0", "1E5", "1e+05", "1e-05", "1.5e-5",
      "1e22", "1e-22", "1e23", "1e-23", "4e22", "9007199254740992", "9007199254740993",
      "9007199254740992e-22", "9999999999999999999", "99999999999999999999", "1e38",
      "3.4028235e38", "3.4028236e38", "1e39", "1.17549435e-38", "1e-45", "1e-46", "1e-50",
      "16777217", "16777216.5", "0.1", "0.2", "0.3", "1.39999998", "0.00245435396",
      "1.000000059604644775390625", "1.0000000596046447753906250001",
      "1.0000000596046447753906249999", "1e", "1e+", "1e-", "e5", ".e5", ".", "-", "+",
      "--1", "+-1", "1..2", "1.2.3", "1e5.", "1e5e5", "1e10000", "1e-10000", "1e99999",
      "0x10", "0x1p3", "-0x1.8p1", "inf", "-inf", "INF", "infinity", "nan", "-nan",
      "nan(123)", "1f", "1,5", "1 ", "١", std::string("1\0", 2), std::string("1.5\0" "9", 5),
      "1.5/2", "12345678901234567890123456789", "0.000000000000000000000000000001234"};
  const int accepted = expectSameAsStrtof(texts);
  EXPECT_GT(accepted, 50);
  EXPECT_LT(accepted, static_cast<int>(texts.size()));
}

}  // namespace
