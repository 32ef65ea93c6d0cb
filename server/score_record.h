// The score record the game sends: who the player is, the game it comes from
// and the best and last score of each board. Parsing checks every field; a
// record that fails is refused whole with a one-line reason.
#pragma once

#include <array>
#include <string>

#include "score_protocol.h"

namespace scores {

struct BoardScores {
  int best = 0;
  int last = 0;
};

struct ScoreRecord {
  std::string userId;  // 1..18 capital letters and spaces, not all spaces
  std::string name;    // exactly 12 symbols of the name alphabet, not all spaces
  int game = 0;
  int version = 0;
  int reason = 0;
  std::array<BoardScores, BoardCount> boards{};
};

// Reads an unscrambled record. On failure returns false and sets `error` to
// a short reason such as "wrong tag"; `record` is then unspecified.
bool ParseScoreRecord(const std::string& text, ScoreRecord& record, std::string& error);

// The record in the game's layout, as it is before scrambling.
std::string FormatScoreRecord(const ScoreRecord& record);

// True for the 64 symbols a name is made of: space, '-', digits and letters.
bool IsNameSymbol(char c);

}  // namespace scores
