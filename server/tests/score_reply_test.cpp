// The reply payload read back the way the game reads it: tags, places,
// padding of short boards, the size the game can keep, and the framing.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "game_client.h"
#include "score_reply.h"

namespace scores {
namespace {

TEST(ScoreReply, GameReadsEveryBoardInPlaceWithPadding) {
  OnlineBoards boards;
  boards[0] = {{"Ann         ", 900}, {"Bo          ", 800}};
  boards[2] = {{"C1", 5}, {"C2", 4}, {"C3", 3}, {"C4", 2}, {"C5", 1}};
  const std::array<GameBoard, BoardCount> read = ReadGameBoards(FormatScoreReply(boards));

  for (const GameBoard& board : read) EXPECT_TRUE(board.valid);
  EXPECT_EQ(read[0].entries[0].name, "Ann         ");
  EXPECT_EQ(read[0].entries[0].score, 900);
  EXPECT_EQ(read[0].entries[1].name, "Bo          ");
  EXPECT_EQ(read[0].entries[1].score, 800);
  for (int k = 2; k < OnlineEntries; k++) {
    EXPECT_EQ(read[0].entries[k].name, "") << k;
    EXPECT_EQ(read[0].entries[k].score, 0) << k;
  }
  for (const OnlineEntry& entry : read[1].entries) {
    EXPECT_EQ(entry.name, "");
    EXPECT_EQ(entry.score, 0);
  }
  for (int k = 0; k < OnlineEntries; k++) {
    EXPECT_EQ(read[2].entries[k].name, "C" + std::to_string(k + 1));
    EXPECT_EQ(read[2].entries[k].score, OnlineEntries - k);
  }
}

TEST(ScoreReply, EachBoardIsTwentyTwoFieldsStartingWithTheTag) {
  const std::string payload = FormatScoreReply(OnlineBoards{});
  int separators = 0;
  for (char c : payload) separators += c == FieldSeparator ? 1 : 0;
  EXPECT_EQ(separators, BoardCount * ReplyFieldsPerBoard);
  EXPECT_EQ(payload.back(), FieldSeparator);
  EXPECT_EQ(payload.rfind("OnlineScores{3{", std::string::npos), payload.size() / 3 * 2);
  EXPECT_GT(payload.size(), 10u);  // shorter payloads count as no answer
}

TEST(ScoreReply, LargestReplyFitsWhatTheGameKeeps) {
  OnlineBoards boards;
  for (OnlineBoard& board : boards)
    board.assign(OnlineEntries, OnlineEntry{"zzzzzzzzzzzz", INT_MAX});
  const std::string payload = FormatScoreReply(boards);
  EXPECT_LE(payload.size(), MaxReplyPayload);
  EXPECT_EQ(ReadGameBoards(payload)[2].entries[4].score, INT_MAX);
}

TEST(ScoreReply, FramedPayloadIsWhatTheGameExtracts) {
  const std::string payload = FormatScoreReply(OnlineBoards{});
  const std::string response = "HTTP/1.1 200 OK\r\n\r\n" + FrameReply(payload) + "\r\n";
  EXPECT_EQ(GameScanChunk(response), payload);
  EXPECT_EQ(GameScanChunk("xx[-\r\nData-]12{ab[-\r\nEnd-]yy"), "12{ab");
}

}  // namespace
}  // namespace scores
