// The rolling-minute cap on new players per client address: per address the
// times of its latest new players (no more than the quota), and queues of
// the admissions in time order, from which each request forgets a few that
// are a minute old. So after a flood the table shrinks as requests go on,
// at most ExpiredPerCall addresses a request; with no requests it stays.
#include "new_player_limit.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace scores {
namespace {

constexpr int Ipv6PrefixBytes = 8;  // a /64 network

}  // namespace

NewPlayerLimit::NewPlayerLimit(int perMinute, Now now)
    : perMinute_(std::max(perMinute, 0)),
      now_(now ? std::move(now) : Now([] { return Clock::now(); })) {}

NewPlayerLimit::Part& NewPlayerLimit::PartOf(const std::string& key) {
  return parts_[std::hash<std::string>()(key) % Parts];
}

// The hash tables keep their buckets (8 bytes an address at the most a part
// ever held) for the next flood; the addresses themselves are freed.
void NewPlayerLimit::ExpireLocked(Part& part, Clock::time_point now) {
  for (std::size_t n = 0; n < ExpiredPerCall && !part.queue.empty(); n++) {
    const Admission& first = part.queue.front();
    if (now - first.at < Window) break;
    Table::value_type* address = first.address;
    part.queue.pop_front();
    if (--address->second.queued == 0) part.added.erase(part.added.find(address->first));
  }
}

bool NewPlayerLimit::AllowsLocked(Part& part, const std::string& key,
                                  Clock::time_point now) const {
  const auto it = part.added.find(key);
  if (it == part.added.end()) return true;
  const Address& address = it->second;
  return address.recent.size() < static_cast<std::size_t>(perMinute_) ||
         now - address.recent[address.oldest] >= Window;
}

void NewPlayerLimit::CountLocked(Part& part, const std::string& key,
                                 Clock::time_point now) const {
  Table::value_type& entry = *part.added.try_emplace(key).first;
  Address& address = entry.second;
  std::vector<Clock::time_point>& recent = address.recent;
  const std::size_t quota = static_cast<std::size_t>(perMinute_);
  if (recent.size() < quota) {
    // Grown by doubling as usual, but never past the quota.
    if (recent.size() == recent.capacity())
      recent.reserve(std::min(quota, std::max<std::size_t>(1, 2 * recent.capacity())));
    recent.push_back(now);
  } else {
    recent[address.oldest] = now;
    address.oldest = (address.oldest + 1) % quota;
  }
  address.queued++;
  part.queue.push_back({now, &entry});
}

void NewPlayerLimit::Expire() {
  if (!Enabled()) return;
  Part& part = parts_[nextExpiry_++ % Parts];
  const Clock::time_point now = now_();
  std::lock_guard<std::mutex> lock(part.mutex);
  ExpireLocked(part, now);
}

bool NewPlayerLimit::Allows(const std::string& key) {
  if (!Enabled()) return true;
  Part& part = PartOf(key);
  const Clock::time_point now = now_();
  std::lock_guard<std::mutex> lock(part.mutex);
  return AllowsLocked(part, key, now);
}

void NewPlayerLimit::Count(const std::string& key) {
  if (!Enabled()) return;
  Part& part = PartOf(key);
  const Clock::time_point now = now_();
  std::lock_guard<std::mutex> lock(part.mutex);
  CountLocked(part, key, now);
}

std::size_t NewPlayerLimit::TrackedAddresses() {
  std::size_t tracked = 0;
  for (Part& part : parts_) {
    std::lock_guard<std::mutex> lock(part.mutex);
    tracked += part.added.size();
  }
  return tracked;
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
