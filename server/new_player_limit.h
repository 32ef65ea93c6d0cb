// The cap on how many new players one client address may add: at most N in
// any 60 seconds (a rolling minute), 0 for no cap. Safe to call from every
// request thread; the clock can be replaced for tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace scores {

class NewPlayerLimit {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  static constexpr std::chrono::seconds Window{60};

  // `perMinute` 0 admits everything; `now` defaults to the steady clock.
  explicit NewPlayerLimit(int perMinute, Now now = nullptr);

  bool Enabled() const { return perMinute_ > 0; }

  // Counts one new player for `address` and returns true, or returns false
  // (counting nothing) when the address added its quota in the last minute.
  bool Admit(const std::string& address);

  // Addresses held in the table; those with nothing left to count are
  // dropped by a sweep whenever the table has doubled since the last one.
  std::size_t TrackedAddresses();

 private:
  using Times = std::deque<Clock::time_point>;
  static void Expire(Times& times, Clock::time_point now);
  void Sweep(Clock::time_point now);

  const int perMinute_;
  const Now now_;
  std::mutex mutex_;
  std::unordered_map<std::string, Times> added_;
  std::size_t sweepAt_;
};

// The key an address is counted under: an IPv4 address (also one written as
// IPv4-mapped IPv6) as itself, an IPv6 address by its /64 network, which
// one client usually holds whole; any other text as it stands.
std::string LimitKey(const std::string& address);

}  // namespace scores
