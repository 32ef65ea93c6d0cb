// The score server's new-player table under a flood: 500,000 distinct addresses add one new
// player each, a quiet minute passes on the table's own clock, then new addresses come again.
// The table beside the one it replaced (OldNewPlayerTable below, swept only when it had doubled),
// in one process, interleaved rounds: after each phase the worst single check in the thread's
// processor time (another process's turn on a busy machine does not count), the mean check, the
// table's entries and its heap bytes (mallinfo2), and how the new compares with the old, read
// as "N× faster" or "N× slower" (smaller or larger for memory).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "new_player_limit.h"

namespace {

using Clock = scores::NewPlayerLimit::Clock;

// ---- the table before expiry as time passes, kept as the baseline -------------------------

// Per address a deque of the times of its new players in the last minute; the table is swept
// of addresses with nothing left to count only when it has doubled since the last sweep.
class OldNewPlayerTable {
 public:
  OldNewPlayerTable(int perMinute, scores::NewPlayerLimit::Now now)
      : perMinute_(perMinute), now_(std::move(now)) {}

  bool Admit(const std::string& address) {
    const Clock::time_point now = now_();
    std::lock_guard<std::mutex> lock(mutex_);
    if (added_.size() >= sweepAt_) Sweep(now);
    Times& times = added_[scores::LimitKey(address)];
    Expire(times, now);
    if (times.size() >= static_cast<std::size_t>(perMinute_)) return false;
    times.push_back(now);
    return true;
  }

  std::size_t TrackedAddresses() {
    std::lock_guard<std::mutex> lock(mutex_);
    return added_.size();
  }

 private:
  static constexpr std::size_t FirstSweepAt = 1024;
  using Times = std::deque<Clock::time_point>;

  static void Expire(Times& times, Clock::time_point now) {
    while (!times.empty() && now - times.front() >= scores::NewPlayerLimit::Window)
      times.pop_front();
  }

  void Sweep(Clock::time_point now) {
    for (auto it = added_.begin(); it != added_.end();) {
      Expire(it->second, now);
      it = it->second.empty() ? added_.erase(it) : std::next(it);
    }
    sweepAt_ = std::max(FirstSweepAt, 2 * added_.size());
  }

  const int perMinute_;
  const scores::NewPlayerLimit::Now now_;
  std::mutex mutex_;
  std::unordered_map<std::string, Times> added_;
  std::size_t sweepAt_ = FirstSweepAt;
};

// ---- the scenario -----------------------------------------------------------------------

constexpr int Rounds = 5;  // interleaved rounds (odd: one middle value)
constexpr int PerMinute = 60;  // the server's default quota
constexpr long long MicrosPerSecond = 1000000;
constexpr double BytesPerMB = 1024.0 * 1024.0;

struct Phase {
  const char* name;
  int requests;     // each from an address not seen before, with a new player
  int perSecond;    // of the table's clock
  long long idleMs;  // the clock moves on this far before the phase's requests
};
constexpr Phase Phases[] = {
    {"flood of 500,000 addresses", 500000, 10000, 0},
    {"quiet minute, no requests", 0, 1, 60000},
    {"again: first 10,000 addresses", 10000, 1000, 0},
    {"again: next 40,000 addresses", 40000, 1000, 0},
};
constexpr int PhaseCount = sizeof Phases / sizeof Phases[0];

// What one phase of one run left and cost.
struct Figures {
  double worstUs = 0;         // the slowest request's whole work on the table
  double worstLockedUs = 0;   // the slowest request's work under the score store's lock
  double meanNs = 0;          // per request, the whole work
  double entries = 0;         // addresses in the table at the end of the phase
  double bytes = 0;           // the table's heap at the end of the phase
};
using Run = std::vector<Figures>;

long long FakeNowUs = 0;
scores::NewPlayerLimit::Now FakeClock() {
  return [] { return Clock::time_point(std::chrono::microseconds(FakeNowUs)); };
}

double HeapBytes() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// This thread's processor time in microseconds.
double CpuUs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Distinct IPv4 addresses as the server sees them (short enough to need no heap of their own).
std::string Address(int n) {
  char text[20];
  std::snprintf(text, sizeof text, "10.%d.%d.%d", (n >> 16) & 255, (n >> 8) & 255, n & 255);
  return text;
}

// One request's work on the table, as the score service does it for a new player: `offLock`
// outside the store's lock, `locked` inside it. Each scenario runs twice: once with every check
// timed on the thread's processor clock, for the worst, and once with only each phase timed on
// the steady clock, for the mean (reading the processor clock costs more than a check).
template <typename OffLock, typename Locked>
void Scenario(bool timeEachCheck, Run& run, OffLock offLock, Locked locked,
              std::function<double()> entries, double heapBefore) {
  int next = 0;
  for (int p = 0; p < PhaseCount; p++) {
    const Phase& phase = Phases[p];
    FakeNowUs += phase.idleMs * 1000;
    Figures& f = run[p];
    const auto phaseStart = Clock::now();
    for (int i = 0; i < phase.requests; i++, next++) {
      const std::string address = Address(next);
      if (!timeEachCheck) {
        offLock(address);
        benchmark::DoNotOptimize(locked(address));
      } else {
        const double start = CpuUs();
        offLock(address);
        const double middle = CpuUs();
        benchmark::DoNotOptimize(locked(address));
        const double end = CpuUs();
        f.worstUs = std::max(f.worstUs, end - start);
        f.worstLockedUs = std::max(f.worstLockedUs, end - middle);
      }
      FakeNowUs += MicrosPerSecond / phase.perSecond;
    }
    if (timeEachCheck) continue;
    const double phaseNs = std::chrono::duration<double, std::nano>(Clock::now() - phaseStart).count();
    f.meanNs = phase.requests ? phaseNs / phase.requests : 0;
    f.entries = entries();
    f.bytes = HeapBytes() - heapBefore;
  }
}

Run OldRun() {
  Run run(PhaseCount);
  for (bool timeEachCheck : {true, false}) {
    const double heap = HeapBytes();
    OldNewPlayerTable table(PerMinute, FakeClock());
    Scenario(
        timeEachCheck, run, [](const std::string&) {},
        [&table](const std::string& address) { return table.Admit(address); },
        [&table] { return static_cast<double>(table.TrackedAddresses()); }, heap);
  }
  return run;
}

Run NewRun() {
  Run run(PhaseCount);
  for (bool timeEachCheck : {true, false}) {
    const double heap = HeapBytes();
    scores::NewPlayerLimit table(PerMinute, FakeClock());
    std::string key;
    Scenario(
        timeEachCheck, run,
        [&table, &key](const std::string& address) {
          table.Expire();
          key = scores::LimitKey(address);
        },
        [&table, &key](const std::string&) {
          if (!table.Allows(key)) return false;
          table.Count(key);
          return true;
        },
        [&table] { return static_cast<double>(table.TrackedAddresses()); }, heap);
  }
  return run;
}

std::vector<Run> OldRuns, NewRuns;

void BM_NewPlayerTable(benchmark::State& state) {
  int round = 0;
  for (auto _ : state) {
    // Alternate which side goes first, so neither always follows the other.
    const auto start = Clock::now();
    if (round++ % 2 == 0) {
      OldRuns.push_back(OldRun());
      NewRuns.push_back(NewRun());
    } else {
      NewRuns.push_back(NewRun());
      OldRuns.push_back(OldRun());
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}

double Median(const std::vector<Run>& runs, int phase, double Figures::*field) {
  std::vector<double> v;
  for (const Run& run : runs) v.push_back(run[phase].*field);
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// How the new table compares with the old, so that a slowdown reads as one: "19.8× faster",
// "21.1× slower" (or smaller / larger for memory); "-" when there is nothing to compare.
std::string Compared(double old, double now, const char* better, const char* worse) {
  if (old <= 0 || now <= 0) return "-";
  char text[48];
  if (old >= now)
    std::snprintf(text, sizeof text, "%.1f\u00d7 %s", old / now, better);
  else
    std::snprintf(text, sizeof text, "%.1f\u00d7 %s", now / old, worse);
  return text;
}
std::string Speed(double old, double now) { return Compared(old, now, "faster", "slower"); }
std::string Size(double old, double now) { return Compared(old, now, "smaller", "larger"); }

// printf pads by bytes: "×" takes two of them for one column.
constexpr int RatioWidth = 15;

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("BM_NewPlayerTable/old_and_new", BM_NewPlayerTable)
      ->Iterations(Rounds)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nnew-player table, %d new players a minute per address; median of %d interleaved "
              "rounds; old, new and how new compares with old\n",
              PerMinute, Rounds);
  std::printf("%-31s %32s %19s %30s %17s %32s\n", "after", "worst check us", "under store lock us",
              "mean check ns", "entries", "heap MB");
  for (int p = 0; p < PhaseCount; p++) {
    auto old = [p](double Figures::*f) { return Median(OldRuns, p, f); };
    auto now = [p](double Figures::*f) { return Median(NewRuns, p, f); };
    std::printf("%-31s", Phases[p].name);
    if (Phases[p].requests == 0)
      std::printf(" %32s %19s %30s", "-", "-", "-");
    else
      std::printf(" %8.1f %8.1f %*s %9.1f %9.1f %7.0f %7.0f %*s", old(&Figures::worstUs),
                  now(&Figures::worstUs), RatioWidth,
                  Speed(old(&Figures::worstUs), now(&Figures::worstUs)).c_str(),
                  old(&Figures::worstLockedUs), now(&Figures::worstLockedUs),
                  old(&Figures::meanNs), now(&Figures::meanNs), RatioWidth,
                  Speed(old(&Figures::meanNs), now(&Figures::meanNs)).c_str());
    std::printf(" %8.0f %8.0f %8.1f %8.1f %*s\n", old(&Figures::entries), now(&Figures::entries),
                old(&Figures::bytes) / BytesPerMB, now(&Figures::bytes) / BytesPerMB, RatioWidth,
                Size(old(&Figures::bytes), now(&Figures::bytes)).c_str());
  }
  return 0;
}
