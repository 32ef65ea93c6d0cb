// The scrambler and its inverse. The running sum of table entries at each
// position does not depend on the text, so each character is shifted by a
// known amount and the inverse subtracts that amount again.
#include "scramble.h"

namespace scores {

bool Rescramble(const std::string& keyword, int gameNum, ScrambleTable& table) {
  const int length = static_cast<int>(keyword.size());
  if (length < 1 || gameNum <= 0) return false;
  for (int i = 0; i < ScrambleTableSize; i++) {
    const int key = static_cast<signed char>(keyword[i % length]);
    table[i] = static_cast<signed char>((i + key + gameNum) % ScrambleAlphabet);
  }
  return true;
}

std::string ScrambleTxt(const ScrambleTable& table, const std::string& text) {
  std::string out;
  int acc = 0;
  for (std::size_t i = 0; i < text.size() && text[i] != '\0'; i++) {
    int v = static_cast<signed char>(text[i]) - ScrambleFirstChar;
    if (v < 0 || v >= ScrambleAlphabet) v = 0;
    acc = (table[i % ScrambleTableSize] + acc) % ScrambleAlphabet;
    out += static_cast<char>((v + acc) % ScrambleAlphabet + ScrambleFirstChar);
  }
  return out;
}

bool UnscrambleTxt(const ScrambleTable& table, const std::string& scrambled,
                   std::string& plain) {
  plain.clear();
  int acc = 0;
  for (std::size_t i = 0; i < scrambled.size(); i++) {
    const int c = static_cast<signed char>(scrambled[i]) - ScrambleFirstChar;
    if (c < 0 || c >= ScrambleAlphabet) return false;
    acc = (table[i % ScrambleTableSize] + acc) % ScrambleAlphabet;
    const int v = ((c - acc) % ScrambleAlphabet + ScrambleAlphabet) % ScrambleAlphabet;
    plain += static_cast<char>(v + ScrambleFirstChar);
  }
  return true;
}

}  // namespace scores
