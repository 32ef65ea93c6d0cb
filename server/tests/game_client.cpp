// The game-like score client and the in-process loopback server used by the
// score server's tests and its load benchmark.
#include "game_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "http_server.h"
#include "scramble.h"
#include "score_service.h"
#include "score_store.h"
#include "server_log.h"
#include "url_tokens.h"

namespace scores {
namespace {

constexpr int ConnectTimeoutMs = 3000;
// The game's wait for the whole reply, from the moment the request went out.
constexpr std::chrono::milliseconds ReplyTimeout{5000};
constexpr std::size_t ReceiveBufferBytes = 10000;
constexpr char MissingField[] = "-=+=-";

}  // namespace

bool LocalAddressUsable(const std::string& address) {
  sockaddr_in source{};
  source.sin_family = AF_INET;
  if (::inet_pton(AF_INET, address.c_str(), &source.sin_addr) != 1) return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0;
  ::close(fd);
  return bound;
}

int ConnectLoopback(int port, const std::string& from) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  // A source address other than the usual is fixed now, the port left to
  // connect as usual.
  if (from != LoopbackHost) {
    int yes = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &yes, sizeof yes);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (::inet_pton(AF_INET, from.c_str(), &source.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
      ::close(fd);
      return -1;
    }
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, LoopbackHost, &addr.sin_addr);

  const int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (rc < 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t len = sizeof error;
    rc = (::poll(&p, 1, ConnectTimeoutMs) == 1 &&
          ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0)
             ? 0
             : -1;
  }
  if (rc < 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, flags);
  return fd;
}

namespace {

// The game's scan of one received chunk: keeps printable bytes, CR and LF,
// collects what follows the opening delimiter and cuts the closing one.
void ScanChunk(const char* data, std::size_t size, std::string& grabbed) {
  std::string seen;
  int state = 0;
  const std::size_t closeLength = sizeof ReplyClose - 1;
  for (std::size_t i = 0; i < size && state < 2; i++) {
    const unsigned char byte = static_cast<unsigned char>(data[i]);
    if (!((byte >= 32 && byte <= 127) || byte == '\r' || byte == '\n')) continue;
    seen += static_cast<char>(byte);
    if (state == 1) grabbed += static_cast<char>(byte);
    if (state == 0 && seen.find(ReplyOpen) != std::string::npos) state = 1;
    if (state == 1 && seen.find(ReplyClose) != std::string::npos) {
      state = 2;
      if (grabbed.size() >= closeLength) grabbed.resize(grabbed.size() - closeLength);
    }
  }
}

// The fields of a text split at '{' as the game's Split walks them.
std::vector<std::string> GameFields(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t p = 0; p < text.size(); p++) {
    if (text[p] == FieldSeparator) {
      fields.push_back(text.substr(start, p - start));
      start = p + 1;
    } else if (p + 1 == text.size()) {
      fields.push_back(text.substr(start));
    }
  }
  return fields;
}

std::string GameField(const std::vector<std::string>& fields, int n) {
  return n >= 1 && n <= static_cast<int>(fields.size()) ? fields[n - 1] : MissingField;
}

}  // namespace

std::string GameScanChunk(const std::string& chunk) {
  std::string grabbed;
  ScanChunk(chunk.data(), chunk.size(), grabbed);
  return grabbed;
}

HeldConnection::~HeldConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool HeldConnection::Send(const std::string& text) const {
  return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

bool HeldConnection::ReadClosed(std::string& received) const {
  pollfd p{fd_, POLLIN, 0};
  while (::poll(&p, 1, 0) == 1) {
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0) return true;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  return false;
}

GameReply RawFetch(int port, const std::string& request, const std::string& from) {
  GameReply reply;
  const int fd = ConnectLoopback(port, from);
  if (fd < 0) return reply;
  std::size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  // Every receive waits in poll for what is left of the reply's one deadline,
  // however the bytes trickle in.
  const auto deadline = std::chrono::steady_clock::now() + ReplyTimeout;
  std::vector<char> buffer(ReceiveBufferBytes);
  ssize_t n = -1;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd p{fd, POLLIN, 0};
    const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready != 1) {
      n = -1;
      break;
    }
    n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reply.raw.append(buffer.data(), static_cast<std::size_t>(n));
    ScanChunk(buffer.data(), static_cast<std::size_t>(n), reply.payload);
  }
  reply.received = n == 0;
  ::close(fd);

  int status = 0;
  if (std::sscanf(reply.raw.c_str(), "HTTP/1.%*d %d", &status) == 1) reply.status = status;
  const std::size_t head = reply.raw.find("\r\n\r\n");
  if (head != std::string::npos) reply.body = reply.raw.substr(head + 4);
  return reply;
}

GameReply GameFetch(int port, const std::string& path, const std::string& from) {
  const std::string host = std::string(LoopbackHost) + ":" + std::to_string(port);
  return RawFetch(port,
                  "GET /" + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n",
                  from);
}

std::string GameScorePath(const ScoreRecord& record) {
  ScrambleTable table{};
  Rescramble(BrindlewickKeyword, BrindlewickGameNum, table);
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "Scores.php?Game=%04d&Score=", record.game);
  return prefix + EscapeTokens(ScrambleTxt(table, FormatScoreRecord(record)));
}

ScoreRecord GameRecord(const std::string& userId, const std::string& name,
                       const std::array<int, BoardCount>& bests) {
  ScoreRecord record;
  record.userId = userId;
  record.name = name;
  record.game = BrindlewickGameNum;
  record.version = 1;
  record.reason = 0;
  for (int b = 0; b < BoardCount; b++) record.boards[b] = {bests[b], bests[b]};
  return record;
}

std::array<GameBoard, BoardCount> ReadGameBoards(const std::string& payload) {
  std::array<GameBoard, BoardCount> boards;
  const std::vector<std::string> fields = GameFields(payload);
  for (int j = 0; j < BoardCount; j++) {
    const int base = ReplyFieldsPerBoard * j;
    if (GameField(fields, base + 1) != ReplyTag) continue;
    boards[j].valid = true;
    for (int k = 0; k < OnlineEntries; k++) {
      const int entry = base + ReplyFieldsPerEntry * k;
      boards[j].entries[k].name = GameField(fields, entry + 3).substr(0, NameLength);
      boards[j].entries[k].score = std::atoi(GameField(fields, entry + 4).c_str());
    }
  }
  return boards;
}

struct LoopbackServer::Parts {
  Parts(std::FILE* file, const LoopbackSettings& settings)
      : logFile(file, &std::fclose),
        log(file, settings.refusalInterval),
        service(store, settings.newPlayersPerMinute, settings.now),
        http(service, log) {}

  // Closed after the log, which writes its last counts as it goes.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> logFile;
  ServerLog log;
  ScoreStore store;
  ScoreService service;
  ScoreHttpServer http;
};

TempFolder::TempFolder() {
  char pattern[] = "/tmp/brindlewick-scores-XXXXXX";
  if (::mkdtemp(pattern)) path_ = pattern;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

LoopbackServer::LoopbackServer(const LoopbackSettings& settings) {
  if (!dir_.Made()) {
    error_ = "cannot create a temporary folder";
    return;
  }
  dbPath_ = dir_.Path() + "/scores.db";
  logPath_ = dir_.Path() + "/server.log";
  std::FILE* file = std::fopen(logPath_.c_str(), "w");
  if (!file) {
    error_ = "cannot create " + logPath_;
    return;
  }
  parts_ = std::make_unique<Parts>(file, settings);
  if (!parts_->store.Open(dbPath_, error_)) return;
  const int port = parts_->http.Bind(LoopbackHost, 0);
  if (port <= 0) {
    error_ = "cannot bind a loopback port";
    return;
  }
  thread_ = std::thread([this] { parts_->http.Run(); });
  port_ = port;
}

void LoopbackServer::Stop() {
  if (parts_) parts_->http.Stop();
  if (thread_.joinable()) thread_.join();
}

LoopbackServer::~LoopbackServer() {
  Stop();
  parts_.reset();
}

std::string LoopbackServer::Log() const {
  std::ifstream in(logPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

long long LoggedRefusals(const std::string& log, const std::string& kind,
                         const std::string& reason, int* lines) {
  // "<from> <kind>: <reason>" for one, "<kind> x<count> in the last <n> s:
  // <reason>" for a count, after the line number's "> ".
  const std::string one = " " + kind + ": ", counted = kind + " x";
  long long total = 0;
  int found = 0;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t mark = line.find("> ");
    if (mark == std::string::npos) continue;
    const std::string text = line.substr(mark + 2);
    const std::size_t colon = text.find(": ");
    if (colon == std::string::npos || (!reason.empty() && text.substr(colon + 2) != reason))
      continue;
    const std::size_t space = text.find(' ');
    if (space != std::string::npos && text.compare(space, one.size(), one) == 0 &&
        space + one.size() == colon + 2) {
      total++;
      found++;
    } else if (text.compare(0, counted.size(), counted) == 0) {
      total += std::atoll(text.c_str() + counted.size());
      found++;
    }
  }
  if (lines) *lines = found;
  return total;
}

std::string DumpDatabase(const std::string& path) {
  sqlite3* db = nullptr;
  std::string dump;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    const char* sql =
        "SELECT 'player', game, user_id, name, NULL FROM players "
        "UNION ALL SELECT 'best', game, board, user_id, score || '@' || achieved "
        "FROM best_scores ORDER BY 1, 2, 3, 4;";
    sqlite3_exec(
        db, sql,
        [](void* out, int columns, char** values, char**) {
          std::string& text = *static_cast<std::string*>(out);
          for (int i = 0; i < columns; i++) text += std::string(values[i] ? values[i] : "") + "|";
          text += "\n";
          return 0;
        },
        &dump, nullptr);
  }
  sqlite3_close(db);
  return dump;
}

long long QueryCount(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  long long count = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
      count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return count;
}

}  // namespace scores
