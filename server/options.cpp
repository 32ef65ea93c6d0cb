// Parsing of the score server's command-line flags into ServerOptions, and
// the usage text that --help and every flag error print.
#include "options.h"

namespace scores {
namespace {

constexpr int MaxPort = 65535;
constexpr std::size_t MaxPortDigits = 5;

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > MaxPortDigits) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > MaxPort) return false;
  port = value;
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
    } else if (flag == "--host" || flag == "--port" || flag == "--db") {
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
      if (!ParsePort(value, options.port)) {
        error = "--port needs a number from 0 to 65535";
        return false;
      }
    } else if (flag == "--db") {
      if (value.empty()) {
        error = "--db needs a file name";
        return false;
      }
      options.db = value;
    } else {
      error = "unknown argument " + std::string(argv[i]);
      return false;
    }
  }
  return true;
}

std::string ServerUsage(const std::string& program) {
  return "Usage: " + program + " [--host ADDRESS] [--port N] [--db FILE]\n"
         "Serves the online scoreboards of Brindlewick.\n"
         "  --host ADDRESS  address to listen on (default " + DefaultHost + ")\n"
         "  --port N        TCP port, 0 for any free port (default " +
         std::to_string(DefaultPort) + ")\n"
         "  --db FILE       SQLite database file (default " + DefaultDatabase + ")\n"
         "  --help          show this text\n";
}

}  // namespace scores
