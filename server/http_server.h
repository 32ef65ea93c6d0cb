// The HTTP side of the score server: listens on one address, answers
// "GET /Scores.php" through the score service, turns every other request into
// an error with a one-line reason, and logs each answer.
#pragma once

#include <memory>
#include <string>

#include "score_service.h"
#include "server_log.h"

namespace scores {

class ScoreHttpServer {
 public:
  ScoreHttpServer(ScoreService& service, ServerLog& log);
  ~ScoreHttpServer();
  ScoreHttpServer(const ScoreHttpServer&) = delete;
  ScoreHttpServer& operator=(const ScoreHttpServer&) = delete;

  // Binds the listening socket; port 0 picks a free one. Returns the bound
  // port, or -1 when the address cannot be used.
  int Bind(const std::string& host, int port);

  // Serves until Stop; returns false when serving could not start.
  bool Run();

  // Ends Run from any thread: stops accepting, answers every request that
  // has arrived (also one still waiting for a worker) and closes the
  // connections still waiting for their head. While another process holds
  // the database, the requests share 5 seconds from here to be stored; those
  // not stored by then are answered 503 ("server stopping"). Also safe
  // before Run starts (Run then returns at once).
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scores
