// The server's log: numbered lines ("% 8i> text") written whole and flushed,
// safe to call from every request thread.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace scores {

class ServerLog {
 public:
  explicit ServerLog(std::FILE* out) : out_(out) {}

  void Line(const std::string& text);

 private:
  std::mutex mutex_;
  std::FILE* out_;
  int count_ = 0;
};

}  // namespace scores
