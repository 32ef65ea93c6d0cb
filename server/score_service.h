// The score exchange without the HTTP layer: takes the query of a
// "/Scores.php" request, reads and checks the record, stores it and builds
// the framed reply, or refuses the request with a one-line reason.
#pragma once

#include <string>

#include "scramble.h"
#include "score_store.h"

namespace scores {

constexpr int StatusOk = 200;
constexpr int StatusBadRequest = 400;
constexpr int StatusNotFound = 404;
constexpr int StatusMethodNotAllowed = 405;
constexpr int StatusUriTooLong = 414;
constexpr int StatusServerError = 500;

struct ServiceReply {
  int status = StatusOk;
  std::string body;  // the framed payload, or the reason and a line feed
  std::string log;   // what the server logs about this request
};

class ScoreService {
 public:
  explicit ScoreService(ScoreStore& store);

  // `query` is the request target's text after '?', as it came in.
  ServiceReply HandleScores(const std::string& query);

 private:
  ServiceReply Refuse(const std::string& reason) const;

  ScoreStore& store_;
  ScrambleTable table_{};
};

}  // namespace scores
