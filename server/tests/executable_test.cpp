// The brindlewick-scores program itself, run as a child process: its flags,
// serving a submission on a port it picked, refusing a port in use, its new
// player limit, and a clean stop on SIGTERM and SIGINT that answers every
// request that has arrived and leaves the scores in the database, and ends
// in time while another process holds the database.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "game_client.h"
#include "score_service.h"

extern char** environ;

namespace scores {
namespace {

constexpr int WaitMs = 30000;
constexpr int PollMs = 10;
// A stop may take 10 s; the rest is room for a busy machine.
constexpr int StopBoundMs = 30000;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A child running the server, its standard output and error read through a pipe.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    std::vector<std::string> all = {BRINDLEWICK_SCORES_EXE};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  bool Started() const { return pid_ > 0; }
  const std::string& Output() const { return output_; }

  // Reads output until it holds `text`, the output ends, or `withinMs` runs out.
  bool WaitFor(const std::string& text, int withinMs = WaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(withinMs);
    while (output_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0 || !ReadSome(static_cast<int>(left))) return false;
    }
    return true;
  }

  // Waits for a whole line starting with `prefix`; returns the rest of it.
  bool WaitForLine(const std::string& prefix, std::string& rest) {
    if (!WaitFor(prefix)) return false;
    const std::size_t start = output_.find(prefix) + prefix.size();
    while (output_.find('\n', start) == std::string::npos)
      if (!ReadSome(WaitMs)) return false;
    rest = output_.substr(start, output_.find('\n', start) - start);
    return true;
  }

  void Signal(int sig) { ::kill(pid_, sig); }

  // The exit status, or -1 when the child did not end within `withinMs` or
  // was killed.
  int WaitExit(int withinMs = WaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(withinMs);
    WaitFor(std::string(1, '\0'), withinMs);  // drain the output until it closes
    do {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(PollMs));
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
  }

 private:
  bool ReadSome(int timeoutMs) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  std::string output_;
};

// Holds the database's write lock as another process would (an sqlite3
// shell left in a write transaction, a backup), so that every submission
// the server takes up waits for it.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    held_ = sqlite3_open(path.c_str(), &db_) == SQLITE_OK &&
            sqlite3_exec(db_, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~WriteLock() {
    Release();
    sqlite3_close(db_);
  }
  bool Held() const { return held_; }
  void Release() {
    if (held_) sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr);
    held_ = false;
  }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

// The listening IPv4 socket on `port` as the kernel lists it: the number of
// connections it holds that the server has not accepted yet, or -1 once it
// is closed.
int ListenQueue(int port) {
  constexpr char ListenState[] = "0A";
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the column titles
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues;
    fields >> slot >> local >> remote >> state >> queues;
    const std::size_t colon = local.find(':'), split = queues.find(':');
    if (colon == std::string::npos || split == std::string::npos || state != ListenState) continue;
    if (std::stoi(local.substr(colon + 1), nullptr, 16) == port)
      return std::stoi(queues.substr(split + 1), nullptr, 16);
  }
  return -1;
}

// Whether the kernel's table of IPv4 sockets can be read here (a chroot may
// have no /proc).
bool ListenQueueVisible() { return std::ifstream("/proc/net/tcp").good(); }

// Waits until the listening socket on `port` holds `queued` connections, or
// time runs out.
bool WaitForListenQueue(int port, int queued) {
  for (int waited = 0; waited < WaitMs; waited += PollMs) {
    if (ListenQueue(port) == queued) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(PollMs));
  }
  return false;
}

class ExecutableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Made());
    db_ = dir_.Path() + "/scores.db";
  }

  // The port from the "Listening on 127.0.0.1:N" line, -1 when none came.
  static int ListeningPort(Child& child) {
    std::string rest;
    return child.WaitForLine("Listening on 127.0.0.1:", rest) ? std::atoi(rest.c_str()) : -1;
  }

  TempFolder dir_;
  std::string db_;
};

TEST_F(ExecutableTest, ServesOnAPickedPortAndStopsCleanlyOnSignals) {
  for (int sig : {SIGTERM, SIGINT}) {
    Child server({"--port", "0", "--db", db_});
    ASSERT_TRUE(server.Started());
    const int port = ListeningPort(server);
    ASSERT_GT(port, 0) << server.Output();

    const std::string id = sig == SIGTERM ? "TERM" : "INTR";
    const GameReply reply =
        GameFetch(port, GameScorePath(GameRecord(id, "Signal Test ", {sig, 0, 0})));
    EXPECT_EQ(reply.status, StatusOk) << reply.body;

    server.Signal(sig);
    EXPECT_EQ(server.WaitExit(), 0) << server.Output();
    EXPECT_NE(server.Output().find(sig == SIGTERM ? "Stopping on SIGTERM" : "Stopping on SIGINT"),
              std::string::npos)
        << server.Output();
    EXPECT_NE(server.Output().find("Stopped"), std::string::npos) << server.Output();
    EXPECT_EQ(QueryCount(db_, "SELECT COUNT(*) FROM best_scores WHERE user_id = '" + id +
                                  "' AND score = " + std::to_string(sig)),
              1);
  }
}

TEST_F(ExecutableTest, StopsWithConnectionsStillWaitingForTheirRequest) {
  Child server({"--port", "0", "--db", db_});
  const int port = ListeningPort(server);
  ASSERT_GT(port, 0) << server.Output();
  std::vector<HeldConnection> held;
  for (int i = 0; i < 100; i++) {
    held.emplace_back(port);
    ASSERT_TRUE(held.back().Open()) << i;
    if (i % 2) {
      ASSERT_TRUE(held.back().Send("GET /Scores.php?Game=05")) << i;
    }
  }
  EXPECT_EQ(GameFetch(port, GameScorePath(GameRecord("LAST", "Last Player ", {3, 0, 0}))).status,
            StatusOk);

  server.Signal(SIGTERM);
  EXPECT_EQ(server.WaitExit(), 0) << server.Output();
  EXPECT_NE(server.Output().find("Stopped"), std::string::npos) << server.Output();
  for (const HeldConnection& connection : held) {
    std::string received;
    EXPECT_TRUE(connection.ReadClosed(received));
    EXPECT_EQ(received, "");
  }
  EXPECT_EQ(QueryCount(db_, "SELECT COUNT(*) FROM players WHERE user_id = 'LAST'"), 1);
}

// Requests queued while another process holds the database, then a stop:
// with the database freed once the stop has begun, every one is stored and
// answered as ever; with it held throughout, the stop still ends in time,
// answering each 503 and storing none of them.
TEST_F(ExecutableTest, AStopWithRequestsQueuedAnswersEachOneInTime) {
  if (!ListenQueueVisible())
    GTEST_SKIP() << "/proc/net/tcp cannot be read (no /proc here): the test cannot tell when "
                    "the server has taken up every connection";
  struct Case {
    const char* name;
    bool releasedDuringTheStop;
  };
  const Case cases[] = {
      {"database freed during the stop", true},
      {"database held throughout", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir;
    ASSERT_TRUE(dir.Made());
    const std::string db = dir.Path() + "/scores.db";
    Child server({"--port", "0", "--db", db, "--new-players-per-minute", "0"});
    const int port = ListeningPort(server);
    ASSERT_GT(port, 0) << server.Output();
    // Every submission waits for the lock, so the workers are all held and
    // the rest of the requests, each sent whole, wait in the server's queue.
    WriteLock lock(db);
    ASSERT_TRUE(lock.Held());
    constexpr int Requests = 96;  // many more than the server has workers
    std::vector<HeldConnection> clients;
    for (int i = 0; i < Requests; i++) {
      const std::string id = std::string("QUEUE") + static_cast<char>('A' + i / 26) +
                             static_cast<char>('A' + i % 26);
      const std::string request = "GET /" +
                                  GameScorePath(GameRecord(id, "Queued      ", {i + 1, 0, 0})) +
                                  " HTTP/1.1\r\nHost: " + LoopbackHost +
                                  "\r\nConnection: close\r\n\r\n";
      clients.emplace_back(port);
      ASSERT_TRUE(clients.back().Open()) << i;
      ASSERT_TRUE(clients.back().Send(request)) << i;
    }
    ASSERT_TRUE(WaitForListenQueue(port, 0)) << "the server did not take up every connection";

    // Stopped while they wait: the listening socket closes, then (in the
    // first case) the lock goes.
    server.Signal(SIGTERM);
    ASSERT_TRUE(server.WaitFor("Stopping on SIGTERM")) << server.Output();
    ASSERT_TRUE(WaitForListenQueue(port, -1)) << "the server still listens";
    if (c.releasedDuringTheStop) lock.Release();

    // The stop may take 10 s; the rest is room for a busy machine. Each
    // queued request waiting out a busy time-out of its own would take
    // minutes.
    EXPECT_EQ(server.WaitExit(StopBoundMs), 0) << "not stopped in time\n" << server.Output();
    int stored = 0, stopping = 0, early = 0;
    const auto readBy = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitMs);
    for (int i = 0; i < Requests; i++) {
      std::string received;
      while (!clients[i].ReadClosed(received) && std::chrono::steady_clock::now() < readBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(PollMs));
      if (received.compare(0, 12, "HTTP/1.1 200") == 0 &&
          ReadGameBoards(GameScanChunk(received))[0].valid)
        stored++;
      else if (received.compare(0, 12, "HTTP/1.1 503") == 0 &&
               EndsWith(received, "\r\n\r\nserver stopping\n"))
        stopping++;
      else if (!c.releasedDuringTheStop && EndsWith(received, "\r\n\r\nstorage error\n"))
        early++;  // its busy wait ran out before the stop began, on a slow machine
      else
        ADD_FAILURE() << "request " << i << ": " << received;
    }
    lock.Release();
    const long long players = QueryCount(db, "SELECT COUNT(*) FROM players");
    if (c.releasedDuringTheStop) {
      EXPECT_EQ(stored, Requests);
      EXPECT_EQ(players, Requests);
    } else {
      EXPECT_EQ(stored, 0);
      EXPECT_GT(stopping, 0);
      EXPECT_EQ(stopping + early, Requests);
      EXPECT_EQ(players, 0);  // none of the refused requests left anything
      EXPECT_EQ(LoggedRefusals(server.Output(), "503 refused", "server stopping"), stopping)
          << server.Output();
    }
  }
}

TEST_F(ExecutableTest, RefusesAPortAlreadyInUse) {
  Child first({"--port", "0", "--db", db_});
  const int firstPort = ListeningPort(first);
  ASSERT_GT(firstPort, 0) << first.Output();
  const std::string port = std::to_string(firstPort);

  Child second({"--port", port, "--db", dir_.Path() + "/other.db"});
  EXPECT_EQ(second.WaitExit(), 1) << second.Output();
  EXPECT_NE(second.Output().find("Cannot listen on 127.0.0.1:" + port), std::string::npos)
      << second.Output();
  first.Signal(SIGTERM);
  EXPECT_EQ(first.WaitExit(), 0) << first.Output();
}

TEST_F(ExecutableTest, LimitsNewPlayersAsTheFlagSays) {
  Child server({"--port", "0", "--db", db_, "--new-players-per-minute", "2"});
  const int port = ListeningPort(server);
  ASSERT_GT(port, 0) << server.Output();
  auto send = [port](const char* id) {
    return GameFetch(port, GameScorePath(GameRecord(id, "Flag Test   ", {10, 0, 0}))).status;
  };
  EXPECT_EQ(send("FIRST"), StatusOk);
  EXPECT_EQ(send("SECOND"), StatusOk);
  EXPECT_EQ(send("THIRD"), StatusTooManyRequests);
  EXPECT_EQ(send("FIRST"), StatusOk);
  EXPECT_TRUE(server.WaitFor("127.0.0.1 429 refused: too many new players from this address\n"))
      << server.Output();
  server.Signal(SIGTERM);
  EXPECT_EQ(server.WaitExit(), 0) << server.Output();
  EXPECT_EQ(QueryCount(db_, "SELECT COUNT(*) FROM players"), 2);
}

TEST_F(ExecutableTest, FlagsAndTheirErrors) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage: "},
      {{"--port", "70000"}, 2, "--port needs a number"},
      {{"--bogus"}, 2, "unknown argument --bogus"},
      {{"--new-players-per-minute", "many"}, 2, "--new-players-per-minute needs a number"},
      {{"--db", "/nonexistent-folder/x.db", "--port", "0"}, 1, "Cannot open database"},
  };
  for (const Case& c : cases) {
    Child child(c.args);
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.WaitExit(), c.exitCode) << c.args[0] << ": " << child.Output();
    EXPECT_NE(child.Output().find(c.says), std::string::npos) << child.Output();
  }
}

}  // namespace
}  // namespace scores
