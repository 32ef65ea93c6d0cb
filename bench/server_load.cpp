// Load benchmark of the score server: 16 clients on loopback, each sending
// score submissions one connection at a time exactly as the game does, to an
// in-process server with its own database and no limit on new players (all
// clients share one address). Reports requests per second (items_per_second)
// and prints the p50 and p99 latency of the last run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "game_client.h"
#include "score_service.h"

namespace {

constexpr int Clients = 16;
constexpr int Players = 2000;
constexpr int PreparedRequests = 4096;
constexpr int MaxBenchScore = 1000000;

using Clock = std::chrono::steady_clock;

scores::LoopbackServer* Server = nullptr;
std::vector<std::string> Paths;

std::mutex LatencyMutex;
std::vector<double> LatenciesMs;
std::atomic<long long> RunStartNs{0}, RunEndNs{0};

long long NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// Submissions of players who come back with new bests, as a live server sees.
void PreparePaths() {
  std::mt19937 rng(556);
  std::uniform_int_distribution<int> player(0, Players - 1), score(0, MaxBenchScore);
  for (int i = 0; i < PreparedRequests; i++) {
    const int p = player(rng);
    std::string id = "LOAD";
    for (int n = p, k = 0; k < 3; k++, n /= 26) id += static_cast<char>('A' + n % 26);
    char name[16];
    std::snprintf(name, sizeof name, "Bench %-6d", p);
    Paths.push_back(scores::GameScorePath(
        scores::GameRecord(id, name, {score(rng), score(rng), score(rng)})));
  }
}

void BM_GameSubmissions(benchmark::State& state) {
  if (state.thread_index() == 0) {
    LatenciesMs.clear();
    RunStartNs = NowNs();
    RunEndNs = 0;
  }
  std::vector<double> mine;
  std::size_t next = static_cast<std::size_t>(state.thread_index()) * 257;
  for (auto _ : state) {
    const std::string& path = Paths[next++ % Paths.size()];
    const auto start = Clock::now();
    const scores::GameReply reply = scores::GameFetch(Server->Port(), path);
    const auto end = Clock::now();
    if (reply.status != scores::StatusOk) {
      state.SkipWithError("the server did not answer a submission with 200");
      break;
    }
    mine.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  state.SetItemsProcessed(state.iterations());
  long long end = NowNs(), seen = RunEndNs;
  while (end > seen && !RunEndNs.compare_exchange_weak(seen, end)) {
  }
  std::lock_guard<std::mutex> lock(LatencyMutex);
  LatenciesMs.insert(LatenciesMs.end(), mine.begin(), mine.end());
}

BENCHMARK(BM_GameSubmissions)->Threads(Clients)->UseRealTime()->MinTime(3.0);

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const std::size_t at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1));
  return sorted[at];
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  scores::LoopbackServer server(scores::LoopbackSettings{0});
  if (!server.Started()) {
    std::fprintf(stderr, "cannot start the score server: %s\n", server.Error().c_str());
    return 1;
  }
  Server = &server;
  PreparePaths();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::sort(LatenciesMs.begin(), LatenciesMs.end());
  const double seconds = static_cast<double>(RunEndNs - RunStartNs) / 1e9;
  std::printf("last run: %zu requests from %d clients in %.2f s: %.0f requests per second\n",
              LatenciesMs.size(), Clients, seconds,
              seconds > 0 ? static_cast<double>(LatenciesMs.size()) / seconds : 0.0);
  std::printf("latency p50 %.3f ms, p99 %.3f ms\n", Percentile(LatenciesMs, 0.50),
              Percentile(LatenciesMs, 0.99));
  return 0;
}
