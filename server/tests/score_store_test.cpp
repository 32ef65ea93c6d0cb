// The score database: bests kept per player and board, the latest name shown,
// ranking and its ties, persistence across reopening, WAL mode, and the
// stop's deadline for submissions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "game_client.h"
#include "score_store.h"

namespace scores {
namespace {

class ScoreStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Made());
    path_ = dir_.Path() + "/scores.db";
    std::string error;
    ASSERT_TRUE(store_.Open(path_, error)) << error;
  }
  void TearDown() override { store_.Close(); }

  OnlineBoards Submit(const std::string& id, const std::string& name,
                      const std::array<int, BoardCount>& bests) {
    OnlineBoards top;
    std::string error;
    EXPECT_TRUE(store_.Submit(GameRecord(id, name, bests), top, error)) << error;
    return top;
  }

  TempFolder dir_;
  std::string path_;
  ScoreStore store_;
};

TEST_F(ScoreStoreTest, KeepsEachPlayersBestPerBoardAndLatestName) {
  Submit("AAA", "First Name  ", {100, 50, 0});
  Submit("AAA", "Second Name ", {80, 70, 0});
  const OnlineBoards top = Submit("BBB", "Other       ", {90, 0, 0});

  ASSERT_EQ(top[0].size(), 2u);
  EXPECT_EQ(top[0][0].name, "Second Name ");
  EXPECT_EQ(top[0][0].score, 100);
  EXPECT_EQ(top[0][1].score, 90);
  ASSERT_EQ(top[1].size(), 1u);
  EXPECT_EQ(top[1][0].score, 70);
  EXPECT_TRUE(top[2].empty());  // a best of 0 is not an entry
  EXPECT_EQ(QueryCount(path_, "SELECT COUNT(*) FROM best_scores WHERE user_id = 'AAA'"), 2);
}

TEST_F(ScoreStoreTest, RanksTopFiveAndEarlierScoreWinsATie) {
  Submit("TIEFIRST", "Tie First   ", {500, 0, 0});
  for (int i = 0; i < 6; i++)
    Submit(std::string(1, static_cast<char>('P' + i)), "Player      ", {100 * (i + 1), 0, 0});
  const OnlineBoards top = Submit("TIESECOND", "Tie Second  ", {500, 0, 0});

  ASSERT_EQ(top[0].size(), static_cast<std::size_t>(OnlineEntries));
  const int expected[] = {600, 500, 500, 500, 400};
  for (int k = 0; k < OnlineEntries; k++) EXPECT_EQ(top[0][k].score, expected[k]) << k;
  // Three players share 500: the two who reached it first come first.
  EXPECT_EQ(top[0][1].name, "Tie First   ");
  EXPECT_EQ(top[0][2].name, "Player      ");
  EXPECT_EQ(top[0][3].name, "Tie Second  ");
}

TEST_F(ScoreStoreTest, ScoresSurviveReopeningAndTheJournalIsWal) {
  Submit("AAA", "Kept        ", {10, 20, 30});
  store_.Close();
  std::string error;
  ASSERT_TRUE(store_.Open(path_, error)) << error;
  const OnlineBoards top = Submit("BBB", "Reader      ", {0, 0, 0});
  for (int b = 0; b < BoardCount; b++) {
    ASSERT_EQ(top[b].size(), 1u) << b;
    EXPECT_EQ(top[b][0].score, 10 * (b + 1));
  }
  EXPECT_TRUE(std::filesystem::exists(path_ + "-wal"));
}

TEST(ScoreStore, OpenReportsAFolderThatDoesNotExist) {
  ScoreStore store;
  std::string error;
  EXPECT_FALSE(store.Open("/nonexistent-folder/scores.db", error));
  EXPECT_FALSE(error.empty());
  OnlineBoards top;
  EXPECT_FALSE(store.Submit(GameRecord("AAA", "Nobody      ", {1, 1, 1}), top, error));
}

// From the stop's deadline on, a submission neither waits for a database
// another connection holds nor begins, and stores nothing; before it, a free
// database stores as ever. The answer comes at once, but where the database
// is held until a deadline still ahead: then at that deadline, not before it
// and not at the busy wait's own 5 s time-out.
TEST(ScoreStore, StopDeadlineEndsSubmissionsAndTheirWaitForAHeldDatabase) {
  using Result = ScoreStore::SubmitResult;
  // Room for a busy machine, well short of the busy wait's 5 s.
  constexpr double AnswerMarginMs = 2000;
  struct Case {
    const char* name;
    bool held;                     // another connection holds the write lock
    std::vector<long long> stops;  // StopBy calls, in ms from now
    Result result;
  };
  const Case cases[] = {
      {"free, deadline ahead", false, {60000}, Result::Stored},
      {"free, deadline passed", false, {-1}, Result::Stopping},
      {"held, deadline passed", true, {-1}, Result::Stopping},
      // The busy wait ends at the deadline, not at its own time-out.
      {"held until the deadline", true, {300}, Result::Stopping},
      {"a later stop keeps the earlier deadline", false, {-1, 60000}, Result::Stopping},
  };
  for (const Case& c : cases) {
    TempFolder dir;
    ASSERT_TRUE(dir.Made());
    const std::string path = dir.Path() + "/scores.db";
    ScoreStore store;
    std::string error;
    ASSERT_TRUE(store.Open(path, error)) << error;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    if (c.held) {
      ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    const ScoreStore::Clock::time_point start = ScoreStore::Clock::now();
    ScoreStore::Clock::time_point deadline = ScoreStore::Clock::time_point::max();
    for (long long ms : c.stops) {
      const ScoreStore::Clock::time_point stopBy = start + std::chrono::milliseconds(ms);
      store.StopBy(stopBy);
      deadline = std::min(deadline, stopBy);
    }
    // Where the database is held, the answer waits for the deadline when it
    // is ahead; otherwise it comes at once.
    const ScoreStore::Clock::time_point answerFrom =
        c.held ? std::max(start, deadline) : start;

    OnlineBoards top;
    EXPECT_EQ(store.Submit(GameRecord("LATE", "Late        ", {7, 0, 0}),
                           ScoreStore::NewPlayerGate(), top, error),
              c.result)
        << c.name << ": " << error;
    const double lateMs = std::chrono::duration<double, std::milli>(
                              ScoreStore::Clock::now() - answerFrom)
                              .count();
    EXPECT_GE(lateMs, 0.0) << c.name << ": answered before the deadline";
    EXPECT_LT(lateMs, AnswerMarginMs) << c.name;
    sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    store.Close();
    EXPECT_EQ(QueryCount(path, "SELECT COUNT(*) FROM players"), c.result == Result::Stored ? 1 : 0)
        << c.name;
  }
}

}  // namespace
}  // namespace scores
