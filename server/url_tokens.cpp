// Token escaping of the score record in the request path, and its inverse.
#include "url_tokens.h"

#include <array>

namespace scores {
namespace {

struct Token {
  char character;
  char letter;
};

constexpr std::array<Token, 19> TokenTable = {{
    {'&', 'A'}, {'\\', 'B'}, {'\'', 'C'}, {'`', 'D'}, {'"', 'E'},
    {'/', 'F'}, {'>', 'G'},  {'#', 'H'},  {'^', 'I'}, {'{', 'J'},
    {'}', 'K'}, {'<', 'L'},  {'|', 'M'},  {'%', 'P'}, {'?', 'Q'},
    {'+', 'R'}, {'$', 'S'},  {',', 'T'},  {' ', 'U'},
}};

constexpr char TokenStart[] = "*!";
constexpr char TokenEnd[] = "!*";

const Token* TokenForCharacter(char c) {
  for (const Token& t : TokenTable)
    if (t.character == c) return &t;
  return nullptr;
}

const Token* TokenForLetter(char letter) {
  for (const Token& t : TokenTable)
    if (t.letter == letter) return &t;
  return nullptr;
}

// True when text[i..] has the token shape "*!X!*" with X a capital letter.
bool TokenShapeAt(const std::string& text, std::size_t i) {
  return i + EscapeTokenLength <= text.size() && text.compare(i, 2, TokenStart) == 0 &&
         text[i + 2] >= 'A' && text[i + 2] <= 'Z' &&
         text.compare(i + 3, 2, TokenEnd) == 0;
}

}  // namespace

std::string EscapeTokens(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\0') break;
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 128) continue;
    if (const Token* t = TokenForCharacter(c)) {
      out += TokenStart;
      out += t->letter;
      out += TokenEnd;
    } else {
      out += c;
    }
  }
  return out;
}

bool UnescapeTokens(const std::string& escaped, std::string& plain) {
  plain.clear();
  std::size_t i = 0;
  while (i < escaped.size()) {
    if (TokenShapeAt(escaped, i)) {
      const Token* t = TokenForLetter(escaped[i + 2]);
      if (!t) return false;
      plain += t->character;
      i += EscapeTokenLength;
      continue;
    }
    const char c = escaped[i];
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte >= 128 || TokenForCharacter(c)) return false;
    plain += c;
    i++;
  }
  return true;
}

}  // namespace scores
