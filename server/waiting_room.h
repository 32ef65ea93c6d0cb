// Connections whose request has not arrived yet, watched by one thread until
// their request line and headers are in (or the connection ends, or its time
// is up) and only then handed to a worker, so that idle and slow clients
// hold no worker while they keep the server waiting.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace scores {

// Whether the socket's receive buffer holds a whole request head (the blank
// line that ends the headers), or nothing more is worth waiting for: the
// peer closed, the socket failed, or the bytes already exceed any head the
// server reads. Reads nothing out of the socket.
bool RequestHeadArrived(int sock);

class WaitingRoom {
 public:
  using Clock = std::chrono::steady_clock;
  // Takes over a socket that is ready to be served; called on the room's thread.
  using Ready = std::function<void(int sock, Clock::time_point deadline)>;

  explicit WaitingRoom(Ready ready);
  ~WaitingRoom();
  WaitingRoom(const WaitingRoom&) = delete;
  WaitingRoom& operator=(const WaitingRoom&) = delete;

  // Watches `sock` and passes it to `ready` once RequestHeadArrived or
  // `deadline` has passed. False when the room cannot take it (stopped, or
  // out of resources): the caller keeps the socket.
  bool Watch(int sock, Clock::time_point deadline);

  // Ends the watch: the sockets still waiting are closed, and `ready` is not
  // called once Stop has returned.
  void Stop();

 private:
  void Loop();
  void Release(int sock, std::vector<std::pair<int, Clock::time_point>>& done);

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
