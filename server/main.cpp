// brindlewick-scores: the online score server of Brindlewick. Reads its
// flags, opens the database, serves until SIGINT or SIGTERM, then answers
// the requests that have arrived and closes the database.
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "http_server.h"
#include "options.h"
#include "score_service.h"
#include "score_store.h"
#include "server_log.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr long SignalPollNs = 200L * 1000 * 1000;

// Waits for SIGINT or SIGTERM (blocked in every thread, so only this wait
// sees them) and stops the server; ends by itself once serving is over.
void WatchSignals(const sigset_t& set, std::atomic<bool>& done,
                  scores::ScoreHttpServer& server, scores::ServerLog& log) {
  const timespec poll{0, SignalPollNs};
  while (!done) {
    const int sig = sigtimedwait(&set, nullptr, &poll);
    if (sig == SIGINT || sig == SIGTERM) {
      log.Line(std::string("Stopping on ") + (sig == SIGINT ? "SIGINT" : "SIGTERM"));
      server.Stop();
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 0 ? argv[0] : "brindlewick-scores";
  scores::ServerOptions options;
  std::string error;
  if (!scores::ParseServerOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "%s\n%s", error.c_str(), scores::ServerUsage(program).c_str());
    return ExitUsage;
  }
  if (options.help) {
    std::fputs(scores::ServerUsage(program).c_str(), stdout);
    return ExitOk;
  }

  // Block the stop signals before any thread starts, so all threads inherit
  // the mask and the watcher alone receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  scores::ServerLog log(stdout);
  scores::ScoreStore store;
  if (!store.Open(options.db, error)) {
    log.Line("Cannot open database " + options.db + ": " + error);
    return ExitFailure;
  }
  log.Line("Database " + options.db);

  scores::ScoreService service(store, options.newPlayersPerMinute);
  scores::ScoreHttpServer server(service, log);
  const int port = server.Bind(options.host, options.port);
  if (port < 0) {
    log.Line("Cannot listen on " + options.host + ":" + std::to_string(options.port));
    return ExitFailure;
  }
  log.Line("Listening on " + options.host + ":" + std::to_string(port));

  std::atomic<bool> done{false};
  std::thread watcher(WatchSignals, std::cref(stopSignals), std::ref(done),
                      std::ref(server), std::ref(log));
  const bool served = server.Run();
  done = true;
  watcher.join();
  store.Close();
  log.Line("Stopped");
  return served ? ExitOk : ExitFailure;
}
