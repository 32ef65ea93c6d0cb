// The server's log: numbered lines ("% 8i> text") written whole and flushed,
// safe to call from every request thread. Refused requests and cut
// connections are counted and summarised, so that a flood cannot fill the
// output with them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace scores {

// How often the refusals counted since the last summary are written out.
constexpr std::chrono::seconds RefusalInterval{10};

class ServerLog {
 public:
  using Clock = std::chrono::steady_clock;

  // Summaries go out every `interval` (tests shorten or lengthen it).
  explicit ServerLog(std::FILE* out, Clock::duration interval = RefusalInterval);
  // Writes the summaries still pending.
  ~ServerLog();
  ServerLog(const ServerLog&) = delete;
  ServerLog& operator=(const ServerLog&) = delete;

  void Line(const std::string& text);

  // A request refused or a connection cut, from the address `from` ("-" when
  // unknown): `kind` says how it was answered ("400 refused", "cut"),
  // `reason` why; both are fixed texts, so there are few kinds. The first of
  // a kind and reason after a summary interval without one is written at
  // once, as "<from> <kind>: <reason>"; the others are counted, and each
  // interval that counted some ends with one line for them,
  // "<kind> x<count> in the last <seconds> s: <reason>".
  void Refusal(const std::string& from, const std::string& kind, const std::string& reason);

  // Writes the counts pending now, without waiting for the interval's end
  // (when the server stops, so that no count is lost).
  void Flush();

 private:
  struct Tally {
    bool recent = false;  // one was written or counted in this interval or the last
    long long count = 0;  // counted, not yet written
  };

  void Write(const std::string& text);  // with mutex_ held
  void Summarise();                     // with mutex_ held
  void Ticks();

  std::mutex mutex_;
  std::FILE* out_;
  int count_ = 0;
  const Clock::duration interval_;
  Clock::time_point intervalStart_;
  std::map<std::pair<std::string, std::string>, Tally> refusals_;  // by kind and reason
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread ticker_;
};

}  // namespace scores
