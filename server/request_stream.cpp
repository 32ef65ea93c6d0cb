// RequestStream on a plain socket: poll for each read until the request's
// deadline and for each write until its time-out, a small read-ahead buffer
// (httplib reads the request line and headers a byte at a time), the
// numeric addresses of both ends, and what became of the exchange (bytes
// received, a deadline passed, a reply begun).
#include "request_stream.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace scores {
namespace {

// Waits until the socket is ready for `events` or `deadline` passes.
bool WaitFor(socket_t sock, short events, RequestStream::Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - RequestStream::Clock::now());
    // Round up, so that a wait never ends just before the deadline.
    const long long ms = std::max<long long>(0, left.count() + 1);
    pollfd p{sock, events, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(ms, 1 << 30)));
    if (rc > 0) return true;
    if (rc == 0 || errno != EINTR) return false;
  }
}

// The numeric address and port of `addr`, as httplib writes them.
void NumericAddress(const sockaddr_storage& addr, socklen_t length, std::string& ip,
                    int& port) {
  if (addr.ss_family == AF_INET)
    port = ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
  else if (addr.ss_family == AF_INET6)
    port = ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
  else
    return;
  char host[NI_MAXHOST] = {};
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&addr), length, host, sizeof host,
                    nullptr, 0, NI_NUMERICHOST) == 0)
    ip = host;
}

}  // namespace

RequestStream::RequestStream(socket_t sock, Clock::time_point readDeadline,
                             std::chrono::milliseconds writeTimeout)
    : sock_(sock), readDeadline_(readDeadline), writeTimeout_(writeTimeout) {}

bool RequestStream::is_readable() const {
  return begin_ < end_ || WaitFor(sock_, POLLIN, readDeadline_);
}

bool RequestStream::is_writable() const {
  return WaitFor(sock_, POLLOUT, Clock::now() + writeTimeout_);
}

ssize_t RequestStream::read(char* ptr, size_t size) {
  if (begin_ == end_) {
    if (!WaitFor(sock_, POLLIN, readDeadline_)) {
      timedOut_ = true;
      return -1;
    }
    ssize_t n;
    do {
      n = ::recv(sock_, buffer_.data(), buffer_.size(), 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return n;
    begin_ = 0;
    end_ = static_cast<std::size_t>(n);
    received_ += end_;
  }
  const std::size_t n = std::min(size, end_ - begin_);
  std::memcpy(ptr, buffer_.data() + begin_, n);
  begin_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t RequestStream::write(const char* ptr, size_t size) {
  replied_ = true;
  if (!is_writable()) return -1;
  ssize_t n;
  do {
    n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n;
}

void RequestStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage addr{};
  socklen_t length = sizeof addr;
  if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
    NumericAddress(addr, length, ip, port);
}

void RequestStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage addr{};
  socklen_t length = sizeof addr;
  if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
    NumericAddress(addr, length, ip, port);
}

}  // namespace scores
