// The score server's command-line flags: defaults, both spellings of a
// value, and the errors that stop the server before it starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"

namespace scores {
namespace {

bool Parse(std::vector<const char*> args, ServerOptions& options, std::string& error) {
  args.insert(args.begin(), "brindlewick-scores");
  return ParseServerOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(ServerOptions, DefaultsAndFlags) {
  struct Case {
    std::vector<const char*> args;
    const char* host;
    int port;
    const char* db;
    bool help;
    int newPlayersPerMinute = 60;
  };
  const Case cases[] = {
      {{}, "127.0.0.1", 8556, "scores.db", false},
      {{"--host", "0.0.0.0", "--port", "9000", "--db", "/tmp/x.db"}, "0.0.0.0", 9000, "/tmp/x.db", false},
      {{"--host=::1", "--port=0", "--db=a b.db"}, "::1", 0, "a b.db", false},
      {{"--port", "65535"}, "127.0.0.1", 65535, "scores.db", false},
      {{"--help"}, "127.0.0.1", 8556, "scores.db", true},
      {{"-h"}, "127.0.0.1", 8556, "scores.db", true},
      {{"--new-players-per-minute", "0"}, "127.0.0.1", 8556, "scores.db", false, 0},
      {{"--new-players-per-minute=1000000"}, "127.0.0.1", 8556, "scores.db", false, 1000000},
  };
  for (const Case& c : cases) {
    ServerOptions options;
    std::string error;
    ASSERT_TRUE(Parse(c.args, options, error)) << error;
    EXPECT_EQ(options.host, c.host);
    EXPECT_EQ(options.port, c.port);
    EXPECT_EQ(options.db, c.db);
    EXPECT_EQ(options.help, c.help);
    EXPECT_EQ(options.newPlayersPerMinute, c.newPlayersPerMinute);
  }
}

TEST(ServerOptions, RefusesWhatItCannotUse) {
  const std::vector<std::vector<const char*>> cases = {
      {"--port", "65536"}, {"--port", "80a"}, {"--port=-1"}, {"--port"},
      {"--host"},          {"--host="},       {"--db="},      {"--verbose"},
      {"scores.db"},       {"--help=yes"},
      {"--new-players-per-minute"}, {"--new-players-per-minute", "-1"},
      {"--new-players-per-minute", "1000001"}, {"--new-players-per-minute=ten"},
  };
  for (const auto& args : cases) {
    ServerOptions options;
    std::string error;
    EXPECT_FALSE(Parse(args, options, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(ServerOptions, UsageNamesEveryFlagAndDefault) {
  const std::string usage = ServerUsage("brindlewick-scores");
  for (const char* word : {"--host", "--port", "--db", "--new-players-per-minute", "--help",
                           "127.0.0.1", "8556", "scores.db", "(default 60)"})
    EXPECT_NE(usage.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace scores
