// The score server over loopback, talked to exactly as the game talks to it:
// submissions land in the right board and place, a player keeps one entry,
// malformed requests are refused without touching the database, and
// concurrent submissions of new players are all stored when they are not
// limited.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "game_client.h"
#include "scramble.h"
#include "score_service.h"
#include "url_tokens.h"

namespace scores {
namespace {

class LoopbackTest : public ::testing::Test {
 protected:
  explicit LoopbackTest(const LoopbackSettings& settings = LoopbackSettings())
      : server_(settings) {}

  void SetUp() override { ASSERT_TRUE(server_.Started()) << server_.Error(); }

  // Submits a record and reads the reply's boards as the game would.
  std::array<GameBoard, BoardCount> Submit(const ScoreRecord& record) {
    const GameReply reply = GameFetch(server_.Port(), GameScorePath(record));
    EXPECT_TRUE(reply.received);
    EXPECT_EQ(reply.status, StatusOk) << reply.body;
    return ReadGameBoards(reply.payload);
  }

  LoopbackServer server_;
};

// With --new-players-per-minute 0: any number of new players from one address.
class UnlimitedLoopbackTest : public LoopbackTest {
 protected:
  UnlimitedLoopbackTest() : LoopbackTest(LoopbackSettings{0}) {}
};

// Six letters for a number, so that every test player has its own user id.
std::string PlayerId(int n) {
  std::string id = "PL";
  for (int i = 0; i < 4; i++, n /= 26) id += static_cast<char>('A' + n % 26);
  return id;
}

TEST_F(LoopbackTest, SubmissionThenReadShowsItInItsBoardAndPlace) {
  Submit(GameRecord("ALPHA", "Alpha       ", {300, 0, 0}));
  Submit(GameRecord("BRAVO", "Bravo       ", {0, 700, 0}));
  Submit(GameRecord("CHARLIE", "Charlie     ", {500, 900, 0}));
  const auto boards = Submit(GameRecord("READER", "Reader      ", {0, 0, 0}));

  for (const GameBoard& board : boards) EXPECT_TRUE(board.valid);
  EXPECT_EQ(boards[0].entries[0].name, "Charlie     ");
  EXPECT_EQ(boards[0].entries[0].score, 500);
  EXPECT_EQ(boards[0].entries[1].name, "Alpha       ");
  EXPECT_EQ(boards[0].entries[1].score, 300);
  EXPECT_EQ(boards[0].entries[2].name, "");
  EXPECT_EQ(boards[1].entries[0].name, "Charlie     ");
  EXPECT_EQ(boards[1].entries[0].score, 900);
  EXPECT_EQ(boards[1].entries[1].name, "Bravo       ");
  EXPECT_EQ(boards[1].entries[1].score, 700);
  EXPECT_EQ(boards[2].entries[0].name, "");
  EXPECT_EQ(boards[2].entries[0].score, 0);
}

TEST_F(LoopbackTest, ReplyIncludesTheSubmissionItAnswers) {
  const auto boards = Submit(GameRecord("SOLO", "Solo        ", {0, 0, 4242}));
  EXPECT_EQ(boards[2].entries[0].name, "Solo        ");
  EXPECT_EQ(boards[2].entries[0].score, 4242);
}

TEST_F(LoopbackTest, SamePlayerImprovingKeepsOneEntry) {
  Submit(GameRecord("RIVAL", "Rival       ", {150, 0, 0}));
  Submit(GameRecord("HERO", "Hero        ", {100, 0, 0}));
  Submit(GameRecord("HERO", "Hero        ", {200, 0, 0}));
  Submit(GameRecord("HERO", "Hero        ", {120, 0, 0}));  // worse: the best stays
  const auto boards = Submit(GameRecord("HERO", "Hero Renamed", {180, 0, 0}));

  EXPECT_EQ(boards[0].entries[0].name, "Hero Renamed");
  EXPECT_EQ(boards[0].entries[0].score, 200);
  EXPECT_EQ(boards[0].entries[1].name, "Rival       ");
  EXPECT_EQ(boards[0].entries[2].name, "");
  EXPECT_EQ(QueryCount(server_.DatabasePath(),
                       "SELECT COUNT(*) FROM best_scores WHERE user_id = 'HERO'"),
            1);
}

TEST_F(LoopbackTest, MalformedRequestsAreRefusedAndChangeNothing) {
  Submit(GameRecord("KEEPER", "Keeper      ", {10, 20, 30}));
  const std::string before = DumpDatabase(server_.DatabasePath());
  ASSERT_FALSE(before.empty());

  const ScoreRecord good = GameRecord("MALLORY", "Mallory     ", {999, 999, 999});
  const std::string goodPath = GameScorePath(good);
  const std::string query = goodPath.substr(goodPath.find("Score="));
  auto withRecord = [](ScoreRecord record, auto change) {
    change(record);
    return GameScorePath(record);
  };
  auto scrambledText = [](const std::string& text) {
    ScrambleTable table{};
    Rescramble(BrindlewickKeyword, BrindlewickGameNum, table);
    return "Scores.php?Game=0556&Score=" + EscapeTokens(ScrambleTxt(table, text));
  };

  struct Case {
    const char* what;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"unknown game", "Scores.php?Game=0557&" + query},
      {"game not a number", "Scores.php?Game=05x6&" + query},
      {"missing game", "Scores.php?" + query},
      {"missing score", "Scores.php?Game=0556"},
      {"repeated score", goodPath + "&" + query},
      {"unexpected parameter", goodPath + "&Name=x"},
      {"record for another game",
       withRecord(good, [](ScoreRecord& r) { r.game = 557; }).replace(16, 4, "0556")},
      {"unknown token", goodPath + "*!Z!*"},
      {"percent escape", goodPath + "%20"},
      {"raw plus", goodPath + "+"},
      {"oversized record", "Scores.php?Game=0556&Score=" + std::string(3000, 'A')},
      {"unscrambled record", "Scores.php?Game=0556&Score=" +
                                 EscapeTokens(FormatScoreRecord(good))},
      {"truncated record", goodPath.substr(0, goodPath.size() - 12)},
      {"wrong tag",
       scrambledText("MALLORY{Mallory     {0556{0001{0000{999{999{999{999{999{999{Vorx{")},
      {"score not a number",
       scrambledText("MALLORY{Mallory     {0556{0001{0000{9x9{999{999{999{999{999{Vorn{")},
      {"negative score",
       scrambledText("MALLORY{Mallory     {0556{0001{0000{-999{999{999{999{999{999{Vorn{")},
      {"name too short", withRecord(good, [](ScoreRecord& r) { r.name = "Mallory"; })},
      {"user id with digits", withRecord(good, [](ScoreRecord& r) { r.userId = "MAL10RY"; })},
      {"request line over 4 KiB", goodPath + "&Pad=" + std::string(4200, 'x')},
      {"request line over 8 KiB", goodPath + std::string(9000, 'x')},
  };

  for (const Case& c : cases) {
    const GameReply reply = GameFetch(server_.Port(), c.path);
    EXPECT_TRUE(reply.received) << c.what;
    EXPECT_EQ(reply.status, StatusBadRequest) << c.what << ": " << reply.body;
    // One line of reason, and nothing the game would take for an answer.
    EXPECT_FALSE(reply.body.empty()) << c.what;
    EXPECT_EQ(reply.body.find('\n'), reply.body.size() - 1) << c.what << ": " << reply.body;
    EXPECT_TRUE(reply.payload.empty()) << c.what;
    EXPECT_EQ(DumpDatabase(server_.DatabasePath()), before) << c.what;
  }

  // The server still serves, and every refusal is logged with its reason
  // (those of one reason after the first as a count, once the server stops).
  EXPECT_EQ(Submit(good)[0].entries[0].name, "Mallory     ");
  server_.Stop();
  EXPECT_EQ(LoggedRefusals(server_.Log(), "400 refused", ""),
            static_cast<long long>(cases.size()))
      << server_.Log();
}

TEST_F(LoopbackTest, OtherPathsAndMethodsAreRefused) {
  const GameReply missing = GameFetch(server_.Port(), "index.html");
  EXPECT_EQ(missing.status, StatusNotFound);
  EXPECT_EQ(missing.body, "not found\n");
  const GameReply post = RawFetch(server_.Port(),
                                  "POST /Scores.php HTTP/1.1\r\nHost: x\r\n"
                                  "Content-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(post.status, StatusMethodNotAllowed);
  const GameReply garbage = RawFetch(server_.Port(), "\x01\x02 nonsense\r\n\r\n");
  EXPECT_EQ(garbage.status, StatusBadRequest);
}

TEST_F(UnlimitedLoopbackTest, ConcurrentSubmissionsAreAllStored) {
  constexpr int Clients = 16;
  constexpr int Submissions = 1000;
  std::atomic<int> next{0}, answered{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < Clients; c++) {
    clients.emplace_back([&] {
      for (int n = next++; n < Submissions; n = next++) {
        const ScoreRecord record = GameRecord(PlayerId(n), "Crowd       ", {n + 1, 0, n % 7});
        const GameReply reply = GameFetch(server_.Port(), GameScorePath(record));
        if (reply.status == StatusOk && ReadGameBoards(reply.payload)[0].valid) answered++;
      }
    });
  }
  for (std::thread& t : clients) t.join();

  EXPECT_EQ(answered, Submissions);
  const std::string db = server_.DatabasePath();
  EXPECT_EQ(QueryCount(db, "SELECT COUNT(*) FROM players"), Submissions);
  EXPECT_EQ(QueryCount(db, "SELECT COUNT(*) FROM best_scores WHERE board = 1"), Submissions);
  EXPECT_EQ(QueryCount(db, "SELECT COUNT(*) FROM best_scores WHERE board = 2"), 0);
  // Board 3 holds the players whose n mod 7 is not 0.
  EXPECT_EQ(QueryCount(db, "SELECT COUNT(*) FROM best_scores WHERE board = 3"),
            Submissions - (Submissions + 6) / 7);
  EXPECT_EQ(QueryCount(db, "SELECT MAX(score) FROM best_scores WHERE board = 1"), Submissions);
}

}  // namespace
}  // namespace scores
