// The stream httplib reads a request from and writes its reply to, with one
// deadline for everything the client sends: a connection that is idle, or
// that trickles its request in, is cut when the deadline passes however
// often bytes arrive. It tells afterwards whether a reply went out, so that
// a connection closed without one can be logged.
#pragma once

#include <httplib.h>

#include <array>
#include <chrono>
#include <string>

namespace scores {

class RequestStream : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  // Reads wait for bytes only until `readDeadline` and fail after it; each
  // write waits at most `writeTimeout` for room in the socket.
  RequestStream(socket_t sock, Clock::time_point readDeadline,
                std::chrono::milliseconds writeTimeout);

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return sock_; }

  // Whether a reply was begun (written, or tried on a client that has gone).
  bool Replied() const { return replied_; }
  // Whether a read failed because the deadline had passed.
  bool TimedOut() const { return timedOut_; }
  // The bytes received from the client so far.
  std::size_t Received() const { return received_; }

 private:
  static constexpr std::size_t BufferBytes = 4096;

  socket_t sock_;
  Clock::time_point readDeadline_;
  std::chrono::milliseconds writeTimeout_;
  std::array<char, BufferBytes> buffer_{};
  std::size_t begin_ = 0, end_ = 0;  // the received bytes not read yet
  std::size_t received_ = 0;
  bool replied_ = false, timedOut_ = false;
};

}  // namespace scores
