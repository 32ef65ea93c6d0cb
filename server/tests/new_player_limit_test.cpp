// The cap on new players per client address: a rolling minute, counted per
// address (IPv6 by its /64), refusals and checks alone not counted, 0 for no
// cap, and addresses forgotten as their minute passes, a few on every call.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "new_player_limit.h"

namespace scores {
namespace {

using std::chrono::milliseconds;

class NewPlayerLimitTest : public ::testing::Test {
 protected:
  NewPlayerLimit::Now Clock() {
    return [this] { return NewPlayerLimit::Clock::time_point(milliseconds(nowMs_)); };
  }
  void At(long long ms) { nowMs_ = ms; }
  // A request with a player the store does not know, through the calls the
  // score service makes: the table's upkeep and the address's key, then the
  // check and, when it passes (and the player is stored), the count.
  static bool NewPlayer(NewPlayerLimit& limit, const std::string& address) {
    limit.Expire();
    const std::string key = LimitKey(address);
    if (!limit.Allows(key)) return false;
    limit.Count(key);
    return true;
  }
  // As many requests as it takes to pass once over the whole table.
  static void ExpireAll(NewPlayerLimit& limit) {
    for (std::size_t n = 0; n < NewPlayerLimit::Parts; n++) limit.Expire();
  }

  long long nowMs_ = 1000000;
};

TEST_F(NewPlayerLimitTest, AtMostTheLimitInAnySixtySeconds) {
  NewPlayerLimit limit(3, Clock());
  struct Step {
    long long atMs;
    bool admitted;
  };
  // Admitted at 0, 10 and 20 s; each of those counts until it is 60 s old.
  const std::vector<Step> steps = {
      {0, true},      {10000, true},  {20000, true},  {30000, false}, {59999, false},
      {60000, true},  {60001, false}, {69999, false}, {70000, true},  {79999, false},
      {80000, true},  {80000, false}, {200000, true}, {200000, true}, {200000, true},
      {200000, false},
  };
  for (const Step& step : steps) {
    At(1000000 + step.atMs);
    EXPECT_EQ(NewPlayer(limit, "10.0.0.1"), step.admitted) << "at " << step.atMs << " ms";
  }
}

TEST_F(NewPlayerLimitTest, CountsEachAddressOnItsOwn) {
  NewPlayerLimit limit(2, Clock());
  struct Case {
    const char* address;
    bool admitted;
  };
  const std::vector<Case> cases = {
      {"10.0.0.1", true},
      {"10.0.0.1", true},
      {"10.0.0.1", false},
      {"::ffff:10.0.0.1", false},  // the same IPv4 client on a dual-stack socket
      {"10.0.0.2", true},
      {"2001:db8:1:2::1", true},
      {"2001:db8:1:2:ffff:ffff:ffff:5", true},  // same /64 network
      {"2001:db8:1:2::9", false},
      {"2001:db8:1:3::1", true},  // the next /64 network
      {"::1", true},
  };
  for (const Case& c : cases) EXPECT_EQ(NewPlayer(limit, c.address), c.admitted) << c.address;
}

TEST(NewPlayerLimitKey, AddressesAsTheyAreCounted) {
  struct Case {
    const char* address;
    const char* key;
  };
  const Case cases[] = {
      {"192.0.2.7", "192.0.2.7"},
      {"::ffff:192.0.2.7", "192.0.2.7"},
      {"2001:db8:aa:bb:1:2:3:4", "2001:db8:aa:bb::/64"},
      {"::1", "::/64"},
      {"not an address", "not an address"},
  };
  for (const Case& c : cases) EXPECT_EQ(LimitKey(c.address), c.key) << c.address;
}

TEST_F(NewPlayerLimitTest, ZeroMeansNoLimit) {
  NewPlayerLimit limit(0, Clock());
  EXPECT_FALSE(limit.Enabled());
  for (int i = 0; i < 10000; i++) ASSERT_TRUE(NewPlayer(limit, "10.0.0.1")) << i;
  EXPECT_EQ(limit.TrackedAddresses(), 0u);
}

TEST_F(NewPlayerLimitTest, ForgetsAddressesOnceTheirMinuteHasPassed) {
  NewPlayerLimit limit(60, Clock());
  constexpr int Addresses = 5000;
  auto address = [](int n) {
    return "10." + std::to_string(n / 65536) + "." + std::to_string(n / 256 % 256) + "." +
           std::to_string(n % 256);
  };
  for (int n = 0; n < Addresses; n++) ASSERT_TRUE(NewPlayer(limit, address(n)));
  EXPECT_EQ(limit.TrackedAddresses(), static_cast<std::size_t>(Addresses));

  // A minute on, the addresses of a new flood take the places of the old
  // ones instead of adding to them.
  At(nowMs_ + 60000);
  for (int n = Addresses; n < 2 * Addresses; n++) ASSERT_TRUE(NewPlayer(limit, address(n)));
  EXPECT_LE(limit.TrackedAddresses(), static_cast<std::size_t>(Addresses));
}

TEST_F(NewPlayerLimitTest, AFloodIsForgottenAsRequestsGoOnOnceItsMinuteHasPassed) {
  NewPlayerLimit limit(60, Clock());
  constexpr int Addresses = 5000;
  const long long floodStart = nowMs_;
  for (int n = 0; n < Addresses; n++) {
    At(floodStart + n);  // one new address every millisecond
    ASSERT_TRUE(
        NewPlayer(limit, "10.1." + std::to_string(n / 256) + "." + std::to_string(n % 256)));
  }
  const auto tracked = [&limit] { return static_cast<long long>(limit.TrackedAddresses()); };
  ASSERT_EQ(tracked(), Addresses);

  // Just before the first is a minute old nothing goes, however often asked.
  At(floodStart + 59999);
  for (int pass = 0; pass < 3; pass++) ExpireAll(limit);
  EXPECT_EQ(tracked(), Addresses);

  // Once the minute has passed for all of them, requests that add nothing
  // (fewer of them than the flood had) forget them all: no table has to
  // double first.
  At(floodStart + Addresses - 1 + 60000);
  for (int n = 0; n < Addresses && tracked() > 0; n++) limit.Expire();
  EXPECT_EQ(tracked(), 0);
}

TEST_F(NewPlayerLimitTest, AnAddressStaysWhileOneOfItsNewPlayersIsUnderAMinuteOld) {
  NewPlayerLimit limit(2, Clock());
  const long long start = nowMs_;
  ASSERT_TRUE(NewPlayer(limit, "10.0.0.1"));
  ASSERT_TRUE(NewPlayer(limit, "10.0.0.2"));
  At(start + 30000);
  ASSERT_TRUE(NewPlayer(limit, "10.0.0.1"));

  At(start + 60000);
  ExpireAll(limit);
  EXPECT_EQ(limit.TrackedAddresses(), 1u);  // 10.0.0.2 is gone, 10.0.0.1 holds one at 30 s
  EXPECT_TRUE(NewPlayer(limit, "10.0.0.1"));
  EXPECT_FALSE(NewPlayer(limit, "10.0.0.1"));  // the ones at 30 s and 60 s
  At(start + 90000);
  EXPECT_TRUE(NewPlayer(limit, "10.0.0.1"));
  EXPECT_FALSE(NewPlayer(limit, "10.0.0.1"));  // the ones at 60 s and 90 s

  At(start + 150000);
  ExpireAll(limit);
  EXPECT_EQ(limit.TrackedAddresses(), 0u);
  EXPECT_TRUE(NewPlayer(limit, "10.0.0.1"));
}

TEST_F(NewPlayerLimitTest, ACheckCountsNothingUntilThePlayerIsCounted) {
  NewPlayerLimit limit(1, Clock());
  const std::string key = LimitKey("::ffff:10.0.0.1");
  for (int i = 0; i < 3; i++) EXPECT_TRUE(limit.Allows(key)) << i;
  EXPECT_EQ(limit.TrackedAddresses(), 0u);
  limit.Count(key);
  EXPECT_FALSE(limit.Allows(key));
  EXPECT_FALSE(NewPlayer(limit, "10.0.0.1"));  // the same address, written as IPv4
  At(nowMs_ + 60000);
  EXPECT_TRUE(limit.Allows(key));
}

}  // namespace
}  // namespace scores
