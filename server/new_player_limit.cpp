// The rolling-minute cap on new players per client address: the times of the
// new players each address added in the last minute, forgotten once they are
// a minute old, so the table stays as small as the recent traffic.
#include "new_player_limit.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace scores {
namespace {

// The table is swept of addresses with nothing left to count whenever it has
// grown to this many entries, or to twice the size after the last sweep.
constexpr std::size_t FirstSweepAt = 1024;
constexpr int Ipv6PrefixBytes = 8;  // a /64 network

}  // namespace

NewPlayerLimit::NewPlayerLimit(int perMinute, Now now)
    : perMinute_(std::max(perMinute, 0)),
      now_(now ? std::move(now) : Now([] { return Clock::now(); })),
      sweepAt_(FirstSweepAt) {}

void NewPlayerLimit::Expire(Times& times, Clock::time_point now) {
  while (!times.empty() && now - times.front() >= Window) times.pop_front();
}

void NewPlayerLimit::Sweep(Clock::time_point now) {
  for (auto it = added_.begin(); it != added_.end();) {
    Expire(it->second, now);
    it = it->second.empty() ? added_.erase(it) : std::next(it);
  }
  sweepAt_ = std::max(FirstSweepAt, 2 * added_.size());
}

bool NewPlayerLimit::Admit(const std::string& address) {
  if (!Enabled()) return true;
  const Clock::time_point now = now_();
  std::lock_guard<std::mutex> lock(mutex_);
  if (added_.size() >= sweepAt_) Sweep(now);
  Times& times = added_[LimitKey(address)];
  Expire(times, now);
  if (times.size() >= static_cast<std::size_t>(perMinute_)) return false;
  times.push_back(now);
  return true;
}

std::size_t NewPlayerLimit::TrackedAddresses() {
  std::lock_guard<std::mutex> lock(mutex_);
  return added_.size();
}

std::string LimitKey(const std::string& address) {
  in6_addr ip6{};
  if (::inet_pton(AF_INET6, address.c_str(), &ip6) != 1) return address;
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (IN6_IS_ADDR_V4MAPPED(&ip6)) {
    in_addr ip4{};
    std::memcpy(&ip4, ip6.s6_addr + 12, sizeof ip4);
    return ::inet_ntop(AF_INET, &ip4, text.data(), text.size()) ? text.data() : address;
  }
  std::fill(ip6.s6_addr + Ipv6PrefixBytes, ip6.s6_addr + sizeof ip6.s6_addr, 0);
  if (!::inet_ntop(AF_INET6, &ip6, text.data(), text.size())) return address;
  return std::string(text.data()) + "/64";
}

}  // namespace scores
