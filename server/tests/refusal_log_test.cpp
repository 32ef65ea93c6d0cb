// The score server's log under a flood of refused requests and cut
// connections: a few lines per kind whose counts add up to the flood, one
// line still for every stored score, and summaries written while the server
// runs, with a lone refusal after a quiet spell logged at once as before.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "game_client.h"
#include "score_service.h"

namespace scores {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds CutWait{20000};
constexpr milliseconds PollWait{10};
// Longer than any test: every count waits for the stop.
constexpr std::chrono::hours LongInterval{1};

std::string PlayerId(int n) {
  std::string id = "FLOOD";
  for (int i = 0; i < 3; i++, n /= 26) id += static_cast<char>('A' + n % 26);
  return id;
}

long long CountOf(const std::string& log, const std::string& text) {
  long long count = 0;
  for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
    count++;
  return count;
}

TEST(RefusalLog, AFloodOfRefusalsTakesAFewLinesWhoseCountsAddUp) {
  LoopbackServer server(LoopbackSettings{DefaultNewPlayersPerMinute, nullptr, LongInterval});
  ASSERT_TRUE(server.Started()) << server.Error();
  const int port = server.Port();

  // Connections that never send a request line, cut by the server in time.
  constexpr int Silent = 5;
  std::vector<HeldConnection> silent;
  for (int i = 0; i < Silent; i++) {
    silent.emplace_back(port);
    ASSERT_TRUE(silent.back().Open());
  }

  // A known player's scores are stored however many come; new players up
  // to the address's limit are stored too (the known one was the first),
  // the rest refused.
  const std::string goodPath = GameScorePath(GameRecord("KNOWN", "Known       ", {5, 0, 0}));
  ASSERT_EQ(GameFetch(port, goodPath).status, StatusOk);
  constexpr int NewPlayers = 100, Repeats = 200, Clients = 8;
  constexpr int NewStored = DefaultNewPlayersPerMinute - 1;
  struct Kind {
    const char* kind;
    const char* reason;
    int times;
    std::string request;  // empty: a new player's submission
  };
  const std::string host = std::string("\r\nHost: ") + LoopbackHost + "\r\nConnection: close\r\n\r\n";
  const std::vector<Kind> kinds = {
      {"404 refused", "not found", 1000, "GET /index.html HTTP/1.1" + host},
      {"405 refused", "method POST", 500,
       "POST /Scores.php HTTP/1.1\r\nContent-Length: 0" + host},
      {"400 refused", "malformed request", 500, "\x01\x02 nonsense\r\n\r\n"},
      {"400 refused", "bad escape", 500, "GET /" + goodPath + "%20 HTTP/1.1" + host},
      {"400 refused", "request line too long", 200,
       "GET /" + goodPath + std::string(9000, 'x') + " HTTP/1.1" + host},
      {"cut", "request line too long", 200, "GET /" + std::string(20000, 'x')},
      {"429 refused", "too many new players from this address", NewPlayers - NewStored, ""},
  };

  // The jobs: every refusal, every new player and the known players' repeats,
  // taken in turn by a few clients at once.
  std::vector<std::string> jobs;
  for (const Kind& k : kinds)
    if (!k.request.empty()) jobs.insert(jobs.end(), k.times, k.request);
  for (int n = 0; n < NewPlayers; n++) jobs.push_back("");
  const std::string Repeat = "repeat";
  jobs.insert(jobs.end(), Repeats, Repeat);
  std::atomic<int> next{0}, newPlayer{0}, stored{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < Clients; c++) {
    clients.emplace_back([&] {
      for (int j = next++; j < static_cast<int>(jobs.size()); j = next++) {
        if (jobs[j].empty() || jobs[j] == Repeat) {
          const int n = newPlayer++;
          const std::string id = jobs[j].empty() ? PlayerId(n) : "KNOWN";
          const GameReply reply =
              GameFetch(port, GameScorePath(GameRecord(id, "Flood       ", {n + 1, 0, 0})));
          if (reply.status == StatusOk) stored++;
        } else {
          RawFetch(port, jobs[j]);
        }
      }
    });
  }
  for (std::thread& t : clients) t.join();
  for (HeldConnection& connection : silent) {
    std::string received;
    const auto deadline = Clock::now() + CutWait;
    while (!connection.ReadClosed(received) && Clock::now() < deadline)
      std::this_thread::sleep_for(PollWait);
  }
  server.Stop();

  const std::string log = server.Log();
  int refusalLines = 0;
  for (const Kind& k : kinds) {
    int lines = 0;
    EXPECT_EQ(LoggedRefusals(log, k.kind, k.reason, &lines), k.times) << k.kind << ": " << k.reason;
    // The first at once, the rest in one count at the stop.
    EXPECT_LE(lines, 2) << k.kind << ": " << k.reason;
    refusalLines += lines;
  }
  int lines = 0;
  EXPECT_EQ(LoggedRefusals(log, "cut", "no request line within 2 s", &lines), Silent) << log;
  refusalLines += lines;
  // Every stored score keeps its own line.
  EXPECT_EQ(stored, NewStored + Repeats);
  EXPECT_EQ(CountOf(log, " 200 stored '"), 1 + stored);
  // Nothing else: refusals and scores are the whole log.
  EXPECT_EQ(CountOf(log, "\n"), 1 + stored + refusalLines) << log;
}

TEST(RefusalLog, CountsAreWrittenAsTheServerRunsAndALoneRefusalAtOnce) {
  constexpr milliseconds ShortInterval{200};
  LoopbackServer server(LoopbackSettings{DefaultNewPlayersPerMinute, nullptr, ShortInterval});
  ASSERT_TRUE(server.Started()) << server.Error();
  const std::string one = "127.0.0.1 404 refused: not found\n";
  auto waitForCount = [&server](long long count) {
    const auto deadline = Clock::now() + CutWait;
    while (LoggedRefusals(server.Log(), "404 refused", "not found") < count &&
           Clock::now() < deadline)
      std::this_thread::sleep_for(PollWait);
    return server.Log();
  };

  // A burst from a few clients at once: the first logged at once, the
  // others counted and written at the end of the interval, while the server
  // runs.
  constexpr int Burst = 40, Clients = 4;
  std::vector<std::thread> clients;
  for (int c = 0; c < Clients; c++)
    clients.emplace_back([&server] {
      for (int i = 0; i < Burst / Clients; i++) GameFetch(server.Port(), "index.html");
    });
  for (std::thread& t : clients) t.join();
  const std::string burst = waitForCount(Burst);
  EXPECT_EQ(LoggedRefusals(burst, "404 refused", "not found"), Burst) << burst;
  EXPECT_GE(CountOf(burst, "404 refused x"), 1) << burst;
  const long long alone = CountOf(burst, one);
  EXPECT_GE(alone, 1) << burst;

  // After many quiet intervals a refusal is written at once again, with its
  // address, as it always was.
  std::this_thread::sleep_for(ShortInterval * 10);
  EXPECT_EQ(GameFetch(server.Port(), "index.html").status, StatusNotFound);
  const std::string after = waitForCount(Burst + 1);
  EXPECT_EQ(LoggedRefusals(after, "404 refused", "not found"), Burst + 1) << after;
  EXPECT_EQ(CountOf(after, one), alone + 1) << after;
}

}  // namespace
}  // namespace scores
