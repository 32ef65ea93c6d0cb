// Test and benchmark helpers: a client that sends a score request byte for
// byte as the game does and reads the reply the way the game does, and a
// score server run in-process on a free loopback port with its own database.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "new_player_limit.h"
#include "options.h"
#include "score_record.h"
#include "score_reply.h"
#include "server_log.h"

namespace scores {

constexpr char LoopbackHost[] = "127.0.0.1";
// Another address of this machine, for a client the server must tell apart
// from one on LoopbackHost.
constexpr char OtherLoopbackHost[] = "127.0.0.2";

struct GameReply {
  bool received = false;  // connected, sent and read until the server closed, in time
  int status = 0;         // from the status line, 0 when there is none
  std::string raw;        // everything received
  std::string body;       // after the head
  std::string payload;    // what the game's framing scan keeps
};

// Whether a socket of this machine can be bound to `address` (a container
// may give loopback 127.0.0.1 alone).
bool LocalAddressUsable(const std::string& address);

// A connection to the server on LoopbackHost:port made as the game makes it
// (a connect that may take 3 s), from the address `from`; -1 when it cannot
// be made. It sets no time-out on receiving: GameFetch and RawFetch wait in
// poll for the reply's one deadline, as the game does.
int ConnectLoopback(int port, const std::string& from = LoopbackHost);

// A connection a test holds open (made as ConnectLoopback makes it), for
// clients that send part of a request or nothing; closed when it goes.
class HeldConnection {
 public:
  explicit HeldConnection(int port) : fd_(ConnectLoopback(port)) {}
  ~HeldConnection();
  HeldConnection(HeldConnection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  HeldConnection(const HeldConnection&) = delete;
  HeldConnection& operator=(const HeldConnection&) = delete;
  HeldConnection& operator=(HeldConnection&&) = delete;

  bool Open() const { return fd_ >= 0; }
  bool Send(const std::string& text) const;
  // Appends what has arrived to `received` without waiting; true once the
  // server has closed the connection.
  bool ReadClosed(std::string& received) const;

 private:
  int fd_;
};

// One exchange as the game makes it: "GET /" + path + " HTTP/1.1", a Host and
// a "Connection: close" header, then reading until the server closes, for 5 s
// at most from the moment the request went out (a reply that has not ended
// by then is not `received`).
GameReply GameFetch(int port, const std::string& path, const std::string& from = LoopbackHost);

// Sends `request` as it stands (for requests the game would never make).
GameReply RawFetch(int port, const std::string& request, const std::string& from = LoopbackHost);

// The payload the game's HTTP client takes from one received chunk.
std::string GameScanChunk(const std::string& chunk);

// The path the game requests for a record: the scrambled record, escaped.
std::string GameScorePath(const ScoreRecord& record);

// A record as the game fills it in, with the given bests and last = best.
ScoreRecord GameRecord(const std::string& userId, const std::string& name,
                       const std::array<int, BoardCount>& bests);

// One board of online scores as the game reads them from a payload.
struct GameBoard {
  bool valid = false;  // the block carried the "OnlineScores" tag
  std::array<OnlineEntry, OnlineEntries> entries;
};

// The game's reading of a payload: fields split at '{' (a missing field
// reads as "-=+=-"), names cut to 12 characters, scores read with atoi.
std::array<GameBoard, BoardCount> ReadGameBoards(const std::string& payload);

// A new empty folder below /tmp, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Made() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct LoopbackSettings {
  int newPlayersPerMinute = DefaultNewPlayersPerMinute;
  NewPlayerLimit::Now now = nullptr;  // the clock of that limit; null for the steady clock
  ServerLog::Clock::duration refusalInterval = RefusalInterval;  // of the log's summaries
};

// A score server on a free loopback port, serving from a new database in a
// temporary folder that is removed again with the server.
class LoopbackServer {
 public:
  explicit LoopbackServer(const LoopbackSettings& settings = LoopbackSettings());
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Started() const { return port_ > 0; }
  int Port() const { return port_; }
  const std::string& DatabasePath() const { return dbPath_; }
  const std::string& LogPath() const { return logPath_; }
  const std::string& Error() const { return error_; }
  // Everything logged so far.
  std::string Log() const;

  // Stops serving (the log then holds the counts of every refusal); the
  // destructor does it too.
  void Stop();

 private:
  struct Parts;
  TempFolder dir_;
  std::string dbPath_, logPath_, error_;
  std::unique_ptr<Parts> parts_;
  std::thread thread_;
  int port_ = -1;
};

// How many refusals of `kind` ("400 refused", "cut") for `reason` (any
// reason when empty) a server log records, written one by one or counted in
// summary lines; `lines` (when given) gets the number of log lines they take.
long long LoggedRefusals(const std::string& log, const std::string& kind,
                         const std::string& reason, int* lines = nullptr);

// Every row of the score database as text, in a fixed order; empty on error.
std::string DumpDatabase(const std::string& path);

// The number given by a counting query ("SELECT COUNT(*) ..."), -1 on error.
long long QueryCount(const std::string& path, const std::string& sql);

}  // namespace scores
