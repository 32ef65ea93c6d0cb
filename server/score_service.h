// The score exchange without the HTTP layer: takes the query of a
// "/Scores.php" request, reads and checks the record, stores it and builds
// the framed reply, or refuses the request with a one-line reason.
#pragma once

#include <string>

#include "new_player_limit.h"
#include "scramble.h"
#include "score_store.h"

namespace scores {

constexpr int StatusOk = 200;
constexpr int StatusBadRequest = 400;
constexpr int StatusNotFound = 404;
constexpr int StatusMethodNotAllowed = 405;
constexpr int StatusUriTooLong = 414;
constexpr int StatusTooManyRequests = 429;
constexpr int StatusServerError = 500;
constexpr int StatusServiceUnavailable = 503;

struct ServiceReply {
  int status = StatusOk;
  std::string body;  // the framed payload, or the reason and a line feed
  std::string log;   // what the server logs about this request
};

class ScoreService {
 public:
  // One client address may add at most `newPlayersPerMinute` players the
  // store does not know yet in any minute (0: no limit); `now` replaces the
  // steady clock of that limit in tests.
  explicit ScoreService(ScoreStore& store, int newPlayersPerMinute = 0,
                        NewPlayerLimit::Now now = nullptr);

  // `query` is the request target's text after '?', as it came in;
  // `clientAddress` the address it came from. Without an address the new
  // player limit does not apply.
  ServiceReply HandleScores(const std::string& query);
  ServiceReply HandleScores(const std::string& query, const std::string& clientAddress);

  // The server is stopping: a submission not stored by `deadline` is
  // answered 503 ("server stopping") and stores nothing (ScoreStore::StopBy).
  void StopBy(ScoreStore::Clock::time_point deadline) { store_.StopBy(deadline); }

 private:
  ServiceReply Refuse(const std::string& reason, int status = StatusBadRequest) const;

  ScoreStore& store_;
  NewPlayerLimit newPlayers_;
  ScrambleTable table_{};
};

}  // namespace scores
