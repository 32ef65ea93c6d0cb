// Numbered log lines: one lock around numbering and writing, so lines from
// request threads never interleave and their numbers stay in order; a thread
// that ends each summary interval by writing the refusals it counted.
#include "server_log.h"

#include <algorithm>

namespace scores {

ServerLog::ServerLog(std::FILE* out, Clock::duration interval)
    : out_(out), interval_(interval), intervalStart_(Clock::now()) {
  ticker_ = std::thread([this] { Ticks(); });
}

ServerLog::~ServerLog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  ticker_.join();
  Flush();
}

void ServerLog::Write(const std::string& text) {
  count_++;
  std::fprintf(out_, "% 8i> %s\n", count_, text.c_str());
  std::fflush(out_);
}

void ServerLog::Line(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  Write(text);
}

void ServerLog::Refusal(const std::string& from, const std::string& kind,
                        const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  Tally& tally = refusals_[{kind, reason}];
  if (tally.recent) {
    tally.count++;
    return;
  }
  tally.recent = true;
  Write(from + " " + kind + ": " + reason);
}

void ServerLog::Summarise() {
  using std::chrono::duration;
  const Clock::time_point now = Clock::now();
  const long long seconds = std::max<long long>(
      1, static_cast<long long>(duration<double>(now - intervalStart_).count() + 0.5));
  for (auto& [key, tally] : refusals_) {
    // A kind that counted none in this interval is quiet again: its next
    // refusal is written at once.
    tally.recent = tally.count > 0;
    if (tally.count == 0) continue;
    Write(key.first + " x" + std::to_string(tally.count) + " in the last " +
          std::to_string(seconds) + " s: " + key.second);
    tally.count = 0;
  }
  intervalStart_ = now;
}

void ServerLog::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  Summarise();
}

void ServerLog::Ticks() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (stop_.wait_until(lock, intervalStart_ + interval_, [this] { return stopping_; })) break;
    Summarise();
  }
}

}  // namespace scores
