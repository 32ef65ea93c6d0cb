// Connections whose request has not arrived yet, watched by one thread until
// their request line and headers are in (or the connection ends, or its time
// is up) and only then handed to a worker, so that idle and slow clients
// hold no worker while they keep the server waiting.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace scores {

// More than any request head the server reads (httplib refuses a request
// line past 8 KiB); a longer one is served at once and refused there.
constexpr std::size_t MaxRequestHeadBytes = 16384;

// What the socket's receive buffer holds of a request head, read without
// taking anything out of the socket.
enum class RequestHead {
  Waiting,   // part of a head, or nothing yet
  Arrived,   // a whole head (the blank line that ends the headers), or the
             // peer closed or the socket failed: nothing more to wait for
  Overlong,  // more bytes than any head the server reads, and no end yet
};
RequestHead PeekRequestHead(int sock);

class WaitingRoom {
 public:
  using Clock = std::chrono::steady_clock;
  // Takes over a socket that is ready to be served; called on the room's thread.
  using Ready = std::function<void(int sock, Clock::time_point deadline)>;

  explicit WaitingRoom(Ready ready);
  ~WaitingRoom();
  WaitingRoom(const WaitingRoom&) = delete;
  WaitingRoom& operator=(const WaitingRoom&) = delete;

  // Watches `sock` and passes it to `ready` once its head has arrived or
  // `deadline` has passed (an overlong head goes at once, with a deadline
  // that has passed, as no more of it is waited for). False when the room
  // cannot take it (stopped, or out of resources): the caller keeps the
  // socket.
  bool Watch(int sock, Clock::time_point deadline);

  // Ends the watch: the sockets still waiting go to `ready` on the calling
  // thread (with their deadlines; whoever serves them tells those whose head
  // has arrived from the rest), and `ready` is not called once Stop has
  // returned.
  void Stop();

 private:
  void Loop();
  // Moves a waiting socket to `done`; false when it is not waiting.
  bool Release(int sock, std::vector<std::pair<int, Clock::time_point>>& done);

  Ready ready_;
  int epoll_ = -1;
  int wake_ = -1;
  std::mutex mutex_;
  bool stopping_ = false;
  std::vector<std::pair<int, Clock::time_point>> arrivals_;  // guarded by mutex_
  // The room thread's own: each waiting socket and its deadline.
  std::unordered_map<int, Clock::time_point> waiting_;
  std::set<std::pair<Clock::time_point, int>> byDeadline_;
  std::thread thread_;
};

}  // namespace scores
