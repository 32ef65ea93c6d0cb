// Command-line flags of the score server: where it listens, which database
// file it keeps and how many new players one address may add.
#pragma once

#include <string>

namespace scores {

constexpr char DefaultHost[] = "127.0.0.1";
constexpr int DefaultPort = 8556;
constexpr char DefaultDatabase[] = "scores.db";
constexpr int DefaultNewPlayersPerMinute = 60;
constexpr int MaxNewPlayersPerMinute = 1000000;

struct ServerOptions {
  std::string host = DefaultHost;
  int port = DefaultPort;  // 0 picks a free port
  std::string db = DefaultDatabase;
  int newPlayersPerMinute = DefaultNewPlayersPerMinute;  // per client address, 0 for no limit
  bool help = false;
};

// Reads "--host H", "--port N", "--db FILE", "--new-players-per-minute N"
// (also as "--flag=value") and "--help". Returns false with a one-line `error` on anything else.
bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options,
                        std::string& error);

std::string ServerUsage(const std::string& program);

}  // namespace scores
