// The score server over loopback with connections that send nothing, half a
// request line or a request trickled in a byte at a time: a game request is
// still answered at once, the slow connections are cut, and a game request
// that arrives in two pieces is still served.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "game_client.h"
#include "score_service.h"

namespace scores {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Far beyond the time the server gives a request, so that only a server
// that never cuts a connection runs into it.
constexpr milliseconds CutWait{20000};
constexpr char PartialRequestLine[] = "GET /Scores.php?Game=0556&Sco";

ScoreRecord Player(const std::string& id, int best) {
  return GameRecord(id, "Prompt      ", {best, 0, 0});
}

TEST(SlowClients, HeldConnectionsDoNotDelayAGameRequest) {
  LoopbackServer server;
  ASSERT_TRUE(server.Started()) << server.Error();
  // Many more than the server has workers (and fewer than its listen
  // backlog, so that no connection waits for the kernel): some sent nothing,
  // some the start of a request line, some a request line longer than any
  // the server reads, and then nothing more.
  constexpr int Silent = 64, Partial = 16, Overlong = 16;
  const std::string overlongLine = "GET /" + std::string(20000, 'x');
  std::vector<HeldConnection> held;
  for (int i = 0; i < Silent + Partial + Overlong; i++) {
    held.emplace_back(server.Port());
    ASSERT_TRUE(held.back().Open()) << i;
    if (i >= Silent) {
      ASSERT_TRUE(held.back().Send(i < Silent + Partial ? PartialRequestLine : overlongLine)) << i;
    }
  }

  const auto start = Clock::now();
  const GameReply reply = GameFetch(server.Port(), GameScorePath(Player("PROMPT", 77)));
  const auto took = Clock::now() - start;

  EXPECT_TRUE(reply.received);
  EXPECT_EQ(reply.status, StatusOk) << reply.body;
  EXPECT_EQ(ReadGameBoards(reply.payload)[0].entries[0].score, 77);
  // When the held connections kept the workers waiting, this took about 5 s
  // for every 8 of them.
  EXPECT_LT(took, milliseconds(1000))
      << std::chrono::duration_cast<milliseconds>(took).count() << " ms";
}

TEST(SlowClients, IdlePartialAndTricklingConnectionsAreCut) {
  LoopbackServer server;
  ASSERT_TRUE(server.Started()) << server.Error();
  HeldConnection silent(server.Port()), partial(server.Port()), trickling(server.Port());
  ASSERT_TRUE(silent.Open() && partial.Open() && trickling.Open());
  ASSERT_TRUE(partial.Send(PartialRequestLine));
  // A whole request line, then a header a byte every 100 ms: never a pause
  // long enough for a time-out that waits for each read on its own.
  ASSERT_TRUE(trickling.Send("GET /Scores.php?Game=0556&Score=x HTTP/1.1\r\nX-Slow: "));

  struct Watch {
    const char* what;
    const HeldConnection& connection;
    std::string received;
    bool closed = false;
  };
  Watch watches[] = {{"silent", silent, {}}, {"partial", partial, {}}, {"trickling", trickling, {}}};
  const auto deadline = Clock::now() + CutWait;
  bool allClosed = false;
  while (!allClosed && Clock::now() < deadline) {
    allClosed = true;
    for (Watch& w : watches) {
      if (!w.closed) w.closed = w.connection.ReadClosed(w.received);
      allClosed = allClosed && w.closed;
    }
    if (!watches[2].closed) trickling.Send("a");
    std::this_thread::sleep_for(milliseconds(100));
  }

  for (const Watch& w : watches) EXPECT_TRUE(w.closed) << w.what << " was not cut";
  // Cut before the request line was whole: closed without a reply, as ever.
  EXPECT_EQ(watches[0].received, "");
  EXPECT_EQ(watches[1].received, "");
  // Cut in the headers: logged as a malformed request, without an address
  // as every request refused before its head was read (the reply itself may
  // be lost to the reset that closing on unread bytes sends).
  std::ifstream log(server.LogPath());
  const std::string logText((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(logText.find("- 400 refused: malformed request"), std::string::npos) << logText;

  // The server goes on serving.
  EXPECT_EQ(GameFetch(server.Port(), GameScorePath(Player("AFTER", 5))).status, StatusOk);
}

TEST(SlowClients, RequestInTwoPiecesIsServed) {
  LoopbackServer server;
  ASSERT_TRUE(server.Started()) << server.Error();
  const std::string path = GameScorePath(Player("SPLIT", 42));
  const std::string request = "GET /" + path + " HTTP/1.1\r\nHost: " + LoopbackHost +
                              "\r\nConnection: close\r\n\r\n";
  HeldConnection client(server.Port());
  ASSERT_TRUE(client.Open());
  // As a slow network may deliver it: half, a pause, the rest.
  ASSERT_TRUE(client.Send(request.substr(0, request.size() / 2)));
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_TRUE(client.Send(request.substr(request.size() / 2)));

  std::string received;
  const auto deadline = Clock::now() + CutWait;
  while (!client.ReadClosed(received) && Clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(received.compare(0, 12, "HTTP/1.1 200"), 0) << received;
  EXPECT_EQ(ReadGameBoards(GameScanChunk(received))[0].entries[0].score, 42);
}

}  // namespace
}  // namespace scores
