// The reply the game parses: for every board a block of 22 '{'-ended fields
// tagged "OnlineScores" with the board's top five names and scores, framed by
// the delimiters the game's HTTP client looks for.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "score_protocol.h"

namespace scores {

struct OnlineEntry {
  std::string name;
  int score = 0;
};

// The best entries of one board, best first; at most OnlineEntries are sent.
using OnlineBoard = std::vector<OnlineEntry>;
using OnlineBoards = std::array<OnlineBoard, BoardCount>;

// The payload: boards 1..3 in order; a board with fewer than five entries is
// padded with entries of an empty name and the score 0.
std::string FormatScoreReply(const OnlineBoards& boards);

// The payload between the opening and the closing delimiter.
std::string FrameReply(const std::string& payload);

}  // namespace scores
