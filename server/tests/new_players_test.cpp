// The limit on new players per client address, over loopback: past the
// limit a new player is answered 429 and nothing is stored, known players
// and other addresses still are, a new player the database fails to store
// is not counted, and the limit lifts once the minute has passed.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include "game_client.h"
#include "score_service.h"

namespace scores {
namespace {

class NewPlayersTest : public ::testing::Test {
 protected:
  NewPlayersTest() : server_(LoopbackSettings{DefaultNewPlayersPerMinute, Clock()}) {}

  void SetUp() override { ASSERT_TRUE(server_.Started()) << server_.Error(); }

  NewPlayerLimit::Now Clock() {
    return [this] {
      return NewPlayerLimit::Clock::time_point(std::chrono::milliseconds(nowMs_.load()));
    };
  }

  GameReply Send(const std::string& id, int best, const std::string& from = LoopbackHost) {
    return GameFetch(server_.Port(), GameScorePath(GameRecord(id, "Flood       ", {best, 0, 0})),
                     from);
  }

  long long Count(const std::string& sql) { return QueryCount(server_.DatabasePath(), sql); }

  std::string Log() const {
    std::ifstream in(server_.LogPath());
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::atomic<long long> nowMs_{5000000};
  LoopbackServer server_;
};

// Distinct user ids of letters only, as the game makes them.
std::string FloodId(int n) {
  std::string id = "FLOOD";
  for (int i = 0; i < 3; i++, n /= 26) id += static_cast<char>('A' + n % 26);
  return id;
}

TEST_F(NewPlayersTest, SixtyFirstNewPlayerFromOneAddressIsRefusedAndNotStored) {
  for (int n = 0; n < DefaultNewPlayersPerMinute; n++)
    ASSERT_EQ(Send(FloodId(n), n + 1).status, StatusOk) << n;
  const std::string before = DumpDatabase(server_.DatabasePath());

  const GameReply refused = Send("LATECOMER", 999);
  EXPECT_TRUE(refused.received);
  EXPECT_EQ(refused.status, StatusTooManyRequests);
  EXPECT_EQ(refused.body, "too many new players from this address\n");
  EXPECT_TRUE(refused.payload.empty());
  EXPECT_EQ(DumpDatabase(server_.DatabasePath()), before);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM players"), DefaultNewPlayersPerMinute);
  EXPECT_NE(Log().find("127.0.0.1 429 refused: too many new players from this address"),
            std::string::npos)
      << Log();

  // A player the server knows is never limited, and keeps getting answers.
  const GameReply known = Send(FloodId(7), 5000);
  EXPECT_EQ(known.status, StatusOk) << known.body;
  EXPECT_EQ(ReadGameBoards(known.payload)[0].entries[0].score, 5000);

  // Another address has a minute of its own.
  if (!LocalAddressUsable(OtherLoopbackHost))
    GTEST_SKIP() << "no second loopback address: " << OtherLoopbackHost
                 << " cannot be bound here, so another address's own minute is not tried";
  EXPECT_EQ(Send("NEIGHBOUR", 10, OtherLoopbackHost).status, StatusOk);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM players WHERE user_id = 'NEIGHBOUR'"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM players WHERE user_id = 'LATECOMER'"), 0);
}

TEST_F(NewPlayersTest, LimitLiftsOnceTheMinuteHasPassed) {
  for (int n = 0; n < DefaultNewPlayersPerMinute; n++) {
    ASSERT_EQ(Send(FloodId(n), 1).status, StatusOk) << n;
    nowMs_ += 500;  // 60 new players over 30 s
  }
  nowMs_ += 29999;  // 59.999 s after the first
  EXPECT_EQ(Send("EARLY", 1).status, StatusTooManyRequests);
  nowMs_ += 1;  // the first is a minute old: one place is free again
  EXPECT_EQ(Send("ONTIME", 1).status, StatusOk);
  EXPECT_EQ(Send("TOOSOON", 1).status, StatusTooManyRequests);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM players"), DefaultNewPlayersPerMinute + 1);
}

TEST_F(NewPlayersTest, ANewPlayerTheDatabaseFailsToStoreIsNotCounted) {
  for (int n = 0; n < DefaultNewPlayersPerMinute - 1; n++)
    ASSERT_EQ(Send(FloodId(n), 1).status, StatusOk) << n;

  // Another connection makes the database refuse one player's row, as a
  // full disk or a damaged file would refuse them all.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(server_.DatabasePath().c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  const int rc = sqlite3_exec(db,
                              "CREATE TRIGGER refuse_broken BEFORE INSERT ON players "
                              "WHEN NEW.user_id = 'BROKEN' BEGIN SELECT RAISE(ABORT, 'refused'); END;",
                              nullptr, nullptr, &message);
  const std::string error = message ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << error;

  EXPECT_EQ(Send("BROKEN", 1).status, StatusServerError);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM players WHERE user_id = 'BROKEN'"), 0);
  // The failed one took no place: the address still has its last one.
  EXPECT_EQ(Send("LASTPLACE", 1).status, StatusOk);
  EXPECT_EQ(Send("NOPLACE", 1).status, StatusTooManyRequests);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM players"), DefaultNewPlayersPerMinute);
}

}  // namespace
}  // namespace scores
