// Building the reply payload from the top five of every board, and framing
// it between the delimiters the game's HTTP client scans for.
#include "score_reply.h"

namespace scores {
namespace {

void AddField(std::string& out, const std::string& field) {
  out += field;
  out += FieldSeparator;
}

}  // namespace

std::string FormatScoreReply(const OnlineBoards& boards) {
  std::string out;
  for (int b = 0; b < BoardCount; b++) {
    AddField(out, ReplyTag);
    AddField(out, std::to_string(b + 1));
    const OnlineBoard& board = boards[b];
    for (int k = 0; k < OnlineEntries; k++) {
      const bool filled = k < static_cast<int>(board.size());
      AddField(out, filled ? board[k].name : std::string());
      AddField(out, std::to_string(filled ? board[k].score : 0));
      AddField(out, std::string());
      AddField(out, std::string());
    }
  }
  return out;
}

std::string FrameReply(const std::string& payload) {
  return ReplyOpen + payload + ReplyClose;
}

}  // namespace scores

static_assert(2 + scores::OnlineEntries * scores::ReplyFieldsPerEntry ==
                  scores::ReplyFieldsPerBoard,
              "a reply block is the tag, the board number and five entries");
