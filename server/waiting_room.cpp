// The waiting room on epoll: edge-triggered readiness, so a socket is looked
// at again only when more bytes come, and the nearest deadline as the wait's
// time-out. An eventfd wakes the thread for new arrivals and for Stop.
#include "waiting_room.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <string_view>

namespace scores {
namespace {

constexpr char HeadEnd[] = "\r\n\r\n";
constexpr int EventsPerWait = 64;

}  // namespace

RequestHead PeekRequestHead(int sock) {
  thread_local std::array<char, MaxRequestHeadBytes> buffer;
  ssize_t n;
  do {
    n = ::recv(sock, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? RequestHead::Waiting
                                                            : RequestHead::Arrived;
  if (n == 0) return RequestHead::Arrived;
  if (std::string_view(buffer.data(), static_cast<std::size_t>(n)).find(HeadEnd) !=
      std::string_view::npos)
    return RequestHead::Arrived;
  return static_cast<std::size_t>(n) >= buffer.size() ? RequestHead::Overlong
                                                      : RequestHead::Waiting;
}

WaitingRoom::WaitingRoom(Ready ready) : ready_(std::move(ready)) {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_;
  if (epoll_ < 0 || wake_ < 0 || ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
    stopping_ = true;  // Watch refuses everything; the caller serves directly
    return;
  }
  thread_ = std::thread([this] { Loop(); });
}

WaitingRoom::~WaitingRoom() {
  Stop();
  if (epoll_ >= 0) ::close(epoll_);
  if (wake_ >= 0) ::close(wake_);
}

bool WaitingRoom::Watch(int sock, Clock::time_point deadline) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return false;
  arrivals_.emplace_back(sock, deadline);
  const std::uint64_t one = 1;
  if (::write(wake_, &one, sizeof one) < 0 && errno != EAGAIN) {
    arrivals_.pop_back();
    return false;
  }
  return true;
}

void WaitingRoom::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    const std::uint64_t one = 1;
    if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
      // The counter is full, so the thread is awake anyway.
    }
  }
  if (thread_.joinable()) thread_.join();
  // A head may have arrived since the room last looked: each socket goes to
  // `ready`, which serves a request that is all there and closes the rest.
  for (const auto& [sock, deadline] : arrivals_) ready_(sock, deadline);
  arrivals_.clear();
  for (const auto& [sock, deadline] : waiting_) {
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, sock, nullptr);
    ready_(sock, deadline);
  }
  waiting_.clear();
  byDeadline_.clear();
}

bool WaitingRoom::Release(int sock, std::vector<std::pair<int, Clock::time_point>>& done) {
  const auto it = waiting_.find(sock);
  if (it == waiting_.end()) return false;
  ::epoll_ctl(epoll_, EPOLL_CTL_DEL, sock, nullptr);
  done.emplace_back(sock, it->second);
  byDeadline_.erase({it->second, sock});
  waiting_.erase(it);
  return true;
}

void WaitingRoom::Loop() {
  std::array<epoll_event, EventsPerWait> events{};
  std::vector<std::pair<int, Clock::time_point>> arrived, done;
  for (;;) {
    int timeoutMs = -1;
    if (!byDeadline_.empty()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          byDeadline_.begin()->first - Clock::now());
      timeoutMs = static_cast<int>(std::max<long long>(0, left.count() + 1));
    }
    const int n = ::epoll_wait(epoll_, events.data(), EventsPerWait, timeoutMs);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      arrived.swap(arrivals_);
    }
    for (const auto& [sock, deadline] : arrived) {
      // Edge-triggered: bytes that are already there are reported once now.
      epoll_event event{};
      event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
      event.data.fd = sock;
      if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, sock, &event) != 0) {
        done.emplace_back(sock, deadline);  // cannot watch it: serve it now
        continue;
      }
      waiting_[sock] = deadline;
      byDeadline_.insert({deadline, sock});
    }
    arrived.clear();
    for (int i = 0; i < n; i++) {
      const int fd = events[i].data.fd;
      if (fd == wake_) {
        std::uint64_t count;
        while (::read(wake_, &count, sizeof count) > 0) {
        }
      } else if (events[i].events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
        Release(fd, done);  // a peer that stopped sending is served with what it sent
      } else {
        const RequestHead head = PeekRequestHead(fd);
        if (head != RequestHead::Waiting && Release(fd, done) && head == RequestHead::Overlong)
          done.back().second = Clock::now();
      }
    }
    // Past its deadline a socket goes to a worker too: its read then fails
    // at once, and it is answered as any request cut short.
    const Clock::time_point now = Clock::now();
    while (!byDeadline_.empty() && byDeadline_.begin()->first <= now)
      Release(byDeadline_.begin()->second, done);
    for (const auto& [sock, deadline] : done) ready_(sock, deadline);
    done.clear();
  }
}

}  // namespace scores
