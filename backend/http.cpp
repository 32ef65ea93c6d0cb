// The backend's HTTP client: one GET over a POSIX TCP socket, the reply read until the server
// closes (at most ReplyLimit bytes, within ReceiveTimeoutMs of the request in all), and the
// payload taken from between the framing delimiters. Also where the score server's host is
// configured.
#include "Vorn_glfw3.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

char webBuffer[WebBufferSize];
std::string website_HTML;

namespace {

constexpr int MaxPort = 65535;

// The socket of one exchange, closed when it goes out of scope.
struct Socket {
    int fd = -1;
    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (fd >= 0) close(fd);
    }
};

void PrintText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// A byte the framing scan keeps: printable ASCII, DEL, CR and LF.
bool KeptByte(unsigned char c) { return (c >= 32 && c <= 127) || c == '\r' || c == '\n'; }

// "name" or "name:port"; false when the port is not a number 1..65535.
bool SplitHost(const std::string& host, std::string& name, std::string& port) {
    const std::size_t colon = host.rfind(':');
    name = host.substr(0, colon);
    if (colon == std::string::npos) {
        port = std::to_string(HttpPort);
        return !name.empty();
    }
    port = host.substr(colon + 1);
    if (name.empty() || port.empty() || port.size() > 5) return false;
    for (char c : port)
        if (c < '0' || c > '9') return false;
    const int number = std::atoi(port.c_str());
    return number >= 1 && number <= MaxPort;
}

// Looks the host up (IPv4, the first address) and makes a TCP socket for it. False when the
// name is unknown.
bool OpenSocket(const std::string& host, Socket& sock, sockaddr_storage& address, socklen_t& length) {
    std::string name, port;
    if (!SplitHost(host, name, port)) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), port.c_str(), &hints, &found) != 0 || !found) return false;
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = found->ai_addrlen;
    freeaddrinfo(found);
    sock.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock.fd < 0) return false;
    return true;
}

using Clock = std::chrono::steady_clock;

// The moment ms milliseconds from now.
Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

// Waits until the socket is ready for events or the deadline passes. True when it is ready (or
// has an error or a hang-up to report), false when the time ran out. A signal does not end the
// wait; the wait goes on for the time that is left.
bool WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd waiting{fd, events, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// Connects without blocking and waits up to ConnectWaitMs for the connection to stand.
bool ConnectWaiting(int fd, const sockaddr_storage& address, socklen_t length) {
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 && errno != EINPROGRESS)
        return false;
    if (!WaitReady(fd, POLLOUT, After(ConnectWaitMs))) return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
    fcntl(fd, F_SETFL, flags);
    return true;
}

// Sends the request and reads the reply until the server closes, an error, ReplyLimit bytes,
// or ReceiveTimeoutMs after the request went out, however the bytes trickle in; returns the
// payload of what arrived by then.
std::string Exchange(int fd, const std::string& host, const char* path) {
    const std::string request = std::string("GET /") + (path ? path : "") + " HTTP/1.1\r\nHost: " + host +
                                "\r\nConnection: close\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const Clock::time_point deadline = After(ReceiveTimeoutMs);
    std::string reply;
    for (;;) {
        const std::size_t room = std::min<std::size_t>(WebBufferSize, ReplyLimit - reply.size());
        if (room == 0) break;
        if (!WaitReady(fd, POLLIN, deadline)) break;
        const ssize_t got = recv(fd, webBuffer, room, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        reply.append(webBuffer, static_cast<std::size_t>(got));
    }
    return FramedPayload(reply);
}

// One GET of path from host, the payload into grabbed. A host that cannot be looked up leaves
// grabbed as it was; so does a failed waiting connect. The plain connect does not wait, and
// when it fails still goes on to send and receive, which then yields an empty payload.
void Fetch(const char* host, const char* path, bool waitForConnect, std::string& grabbed) {
    const std::string hostText = host ? host : "";
    Socket sock;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (!OpenSocket(hostText, sock, address, length)) return;
    if (waitForConnect) {
        if (!ConnectWaiting(sock.fd, address, length)) {
            PrintText("\n-=Unable to Connect=-\n");
            return;
        }
    } else if (connect(sock.fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        PrintText("Could not connect");
    }
    grabbed = Exchange(sock.fd, hostText, path);
}

}  // namespace

std::string ScoreServerHost() {
    const char* configured = std::getenv(ScoreHostVariable);
    return configured && *configured ? configured : DefaultScoreHost;
}

std::string FramedPayload(const std::string& reply) {
    website_HTML.clear();
    for (char c : reply)
        if (KeptByte(static_cast<unsigned char>(c))) website_HTML += c;
    const std::size_t open = website_HTML.find(PayloadOpen);
    if (open == std::string::npos) return "";
    const std::size_t start = open + std::char_traits<char>::length(PayloadOpen);
    // The first closing delimiter ends the payload; one before the opening one leaves it empty.
    const std::size_t end = website_HTML.find(PayloadClose);
    if (end == std::string::npos) return website_HTML.substr(start);
    if (end < start) return "";
    return website_HTML.substr(start, end - start);
}

void VornSys::URLData(const char* host, const char* path) { Fetch(host, path, true, URLGrabbed); }

void VornSys::URLDataOld(const char* host, const char* path) { Fetch(host, path, false, URLGrabbed); }
