// The cap on how many new players one client address may add: at most N in
// any 60 seconds (a rolling minute), 0 for no cap. Safe to call from every
// request thread; the clock can be replaced for tests.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace scores {

class NewPlayerLimit {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  static constexpr std::chrono::seconds Window{60};
  // Admissions a minute old that one call of Expire forgets at most, so
  // that no single request pays for a whole flood's worth of them.
  static constexpr std::size_t ExpiredPerCall = 64;
  // The table is split by the key's hash into this many parts, each with
  // its own lock and queue, so that growing one part's hash table (which
  // moves all of that part) costs a request a small part of a flood.
  static constexpr std::size_t Parts = 256;

  // `perMinute` 0 admits everything; `now` defaults to the steady clock.
  explicit NewPlayerLimit(int perMinute, Now now = nullptr);

  bool Enabled() const { return perMinute_ > 0; }

  // While the limit is Enabled, each request calls Expire and LimitKey of
  // its address before the store's lock; a player the store does not know
  // calls Allows under that lock and, once the player is stored, Count.

  // Forgets the oldest admissions that are a minute old, at most
  // ExpiredPerCall of them from one part of the table (the next part on the
  // next call), and every address left with none. Each request calls it
  // once, before the store's lock, so the table shrinks as requests go on
  // and no call does more than a fixed amount.
  void Expire();

  // Whether the address of `key` (a LimitKey) may add a new player now.
  // Counts nothing: a request whose new player is then stored is counted
  // with Count. A caller that needs the two to be one step keeps them
  // under a lock of its own (the score store keeps both in its transaction).
  bool Allows(const std::string& key);
  void Count(const std::string& key);

  // Addresses held in the table: those that added a new player in the last
  // minute, and those whose last one is older but not yet reached by Expire.
  std::size_t TrackedAddresses();

 private:
  // The latest admissions of one address, at most perMinute_ of them, kept
  // as a ring once it is full (`oldest` is then the next to be replaced):
  // the address is at its quota while the oldest of them is under a minute
  // old. `queued` counts its admissions still in the expiry queue; the
  // address is forgotten when the last of them leaves it.
  struct Address {
    std::vector<Clock::time_point> recent;
    std::size_t oldest = 0;
    std::size_t queued = 0;
  };
  using Table = std::unordered_map<std::string, Address>;
  // One admission in the order they were counted. Elements of an
  // unordered_map keep their place when it rehashes, so the pointer holds
  // until the address is erased, which waits for its last admission here.
  struct Admission {
    Clock::time_point at;
    Table::value_type* address;
  };

  // One part of the table: its addresses and the queue of their admissions.
  struct Part {
    std::mutex mutex;
    Table added;
    std::deque<Admission> queue;
  };

  Part& PartOf(const std::string& key);
  static void ExpireLocked(Part& part, Clock::time_point now);
  bool AllowsLocked(Part& part, const std::string& key, Clock::time_point now) const;
  void CountLocked(Part& part, const std::string& key, Clock::time_point now) const;

  const int perMinute_;
  const Now now_;
  std::array<Part, Parts> parts_;
  std::atomic<std::size_t> nextExpiry_{0};
};

// The key an address is counted under: an IPv4 address (also one written as
// IPv4-mapped IPv6) as itself, an IPv6 address by its /64 network, which
// one client usually holds whole; any other text as it stands.
std::string LimitKey(const std::string& address);

}  // namespace scores
