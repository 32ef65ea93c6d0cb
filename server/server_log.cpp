// Numbered log lines: one lock around numbering and writing, so lines from
// request threads never interleave and their numbers stay in order.
#include "server_log.h"

namespace scores {

void ServerLog::Line(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  count_++;
  std::fprintf(out_, "% 8i> %s\n", count_, text.c_str());
  std::fflush(out_);
}

}  // namespace scores
