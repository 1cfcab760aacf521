// TokenReader: whitespace-separated tokens of an open file, read in large
// blocks. Tokens longer than kMaxTokenLength are skipped whole, so their tail
// is never seen as a token of its own. One token can be pushed back.
#pragma once

#include <cstddef>
#include <cstdio>

constexpr std::size_t kMaxTokenLength = 127;

struct Token {
  char text[kMaxTokenLength + 1];  // NUL-terminated; may hold NUL bytes inside
  std::size_t length;
};

struct TokenReader {
  std::FILE* file;
  char block[1 << 16];
  std::size_t position;
  std::size_t filled;
  bool pushedBack;
  Token pending;
};

void startTokens(TokenReader& reader, std::FILE* file);

// The next token into token; false at end of file (or on a read error).
bool nextToken(TokenReader& reader, Token& token);

// Makes token the next one nextToken returns.
void pushBackToken(TokenReader& reader, const Token& token);

// Whole-token number parsing: true only when the whole token is the number.
bool parseCoordinate(const Token& token, float& value);

// A vertex index: a decimal integer, optionally followed by '/' and texture or
// normal indices that are ignored. Values outside the int range become 0,
// which names no vertex.
bool parseIndex(const Token& token, int& value);
