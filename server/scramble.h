// Scrambling of the score record: the 64-entry table built from the game's
// keyword and number, the scrambler the game applies before sending, and its
// inverse, with which the server reads the record back.
#pragma once

#include <array>
#include <string>

namespace scores {

constexpr int ScrambleTableSize = 64;
// The scrambler works on the 92 characters from ' ' (32) to '{' (123).
constexpr int ScrambleFirstChar = 32;
constexpr int ScrambleAlphabet = 92;

using ScrambleTable = std::array<signed char, ScrambleTableSize>;

// Builds the table from the keyword and the game number: entry i is
// (i + keyword[i mod length] + gameNum) mod 92. Leaves the table as it was
// and returns false when the keyword is empty or the number is not positive.
bool Rescramble(const std::string& keyword, int gameNum, ScrambleTable& table);

// The game's scrambler: same length as the text (up to its first NUL);
// characters outside ' '..'{' count as a space.
std::string ScrambleTxt(const ScrambleTable& table, const std::string& text);

// Inverse of ScrambleTxt: UnscrambleTxt(t, ScrambleTxt(t, s)) == s for every
// s of characters ' '..'{'. Returns false, leaving `plain` unspecified, when
// `scrambled` holds a character the scrambler never produces.
bool UnscrambleTxt(const ScrambleTable& table, const std::string& scrambled,
                   std::string& plain);

}  // namespace scores
