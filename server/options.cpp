// Parsing of the score server's command-line flags into ServerOptions, and
// the usage text that --help and every flag error print.
#include "options.h"

namespace scores {
namespace {

constexpr int MaxPort = 65535;
constexpr char NewPlayersFlag[] = "--new-players-per-minute";

// A decimal number from 0 to `max`, digits only.
bool ParseNumber(const std::string& text, int max, int& number) {
  const std::size_t maxDigits = std::to_string(max).size();
  if (text.empty() || text.size() > maxDigits) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > max) return false;
  number = value;
  return true;
}

}  // namespace

bool ParseServerOptions(int argc, const char* const* argv, ServerOptions& options,
                        std::string& error) {
  for (int i = 1; i < argc; i++) {
    std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      continue;
    }
    std::string value;
    const std::size_t eq = flag.find('=');
    if (eq != std::string::npos) {
      value = flag.substr(eq + 1);
      flag = flag.substr(0, eq);
    } else if (flag == "--host" || flag == "--port" || flag == "--db" ||
               flag == NewPlayersFlag) {
      if (i + 1 >= argc) {
        error = flag + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (flag == "--host") {
      if (value.empty()) {
        error = "--host needs a value";
        return false;
      }
      options.host = value;
    } else if (flag == "--port") {
      if (!ParseNumber(value, MaxPort, options.port)) {
        error = "--port needs a number from 0 to 65535";
        return false;
      }
    } else if (flag == "--db") {
      if (value.empty()) {
        error = "--db needs a file name";
        return false;
      }
      options.db = value;
    } else if (flag == NewPlayersFlag) {
      if (!ParseNumber(value, MaxNewPlayersPerMinute, options.newPlayersPerMinute)) {
        error = std::string(NewPlayersFlag) + " needs a number from 0 to " +
                std::to_string(MaxNewPlayersPerMinute);
        return false;
      }
    } else {
      error = "unknown argument " + std::string(argv[i]);
      return false;
    }
  }
  return true;
}

std::string ServerUsage(const std::string& program) {
  return "Usage: " + program +
         " [--host ADDRESS] [--port N] [--db FILE] [--new-players-per-minute N]\n"
         "Serves the online scoreboards of Brindlewick.\n"
         "  --host ADDRESS  address to listen on (default " + DefaultHost + ")\n"
         "  --port N        TCP port, 0 for any free port (default " +
         std::to_string(DefaultPort) + ")\n"
         "  --db FILE       SQLite database file (default " + DefaultDatabase + ")\n"
         "  --new-players-per-minute N\n"
         "                  new players one client address may add in any minute,\n"
         "                  0 for no limit (default " +
         std::to_string(DefaultNewPlayersPerMinute) + ")\n"
         "  --help          show this text\n";
}

}  // namespace scores
