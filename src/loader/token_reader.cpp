#include "token_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>

static bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void startTokens(TokenReader& reader, std::FILE* file) {
  reader.file = file;
  reader.position = 0;
  reader.filled = 0;
  reader.pushedBack = false;
}

// The next byte of the file, or -1 at its end.
static int nextByte(TokenReader& reader) {
  if (reader.position == reader.filled) {
    reader.filled = std::fread(reader.block, 1, sizeof reader.block, reader.file);
    reader.position = 0;
    if (reader.filled == 0) return -1;
  }
  return static_cast<unsigned char>(reader.block[reader.position++]);
}

bool nextToken(TokenReader& reader, Token& token) {
  if (reader.pushedBack) {
    reader.pushedBack = false;
    token = reader.pending;
    return true;
  }
  for (;;) {
    int c = nextByte(reader);
    while (c != -1 && isSpace(static_cast<char>(c))) c = nextByte(reader);
    if (c == -1) return false;
    std::size_t length = 0;
    bool tooLong = false;
    while (c != -1 && !isSpace(static_cast<char>(c))) {
      if (length < kMaxTokenLength) {
        token.text[length++] = static_cast<char>(c);
      } else {
        tooLong = true;
      }
      c = nextByte(reader);
    }
    if (tooLong) continue;
    token.text[length] = '\0';
    token.length = length;
    return true;
  }
}

void pushBackToken(TokenReader& reader, const Token& token) {
  reader.pending = token;
  reader.pushedBack = true;
}

static bool hasInnerNul(const Token& token) { return std::strlen(token.text) != token.length; }

bool parseCoordinate(const Token& token, float& value) {
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
