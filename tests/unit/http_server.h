// A stand-in HTTP server for the client's tests: it listens on a free loopback port (127.0.0.1,
// or ::1), takes one connection at a time on a thread of its own, records the request and
// answers with the pieces it is given, each sent and flushed on its own with a pause between
// them (short, or as long as a test asks, to drip a reply), then closes or holds the
// connection open as a keep-alive server does; or answers nothing at all until the client leaves.
// Beside it, a loopback listener whose accept queue is full, so that a connection to it never
// stands, and a check that ::1 can be had at all.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include <string>
#include <thread>
#include <vector>

// The loopback address of family (127.0.0.1, or ::1 for AF_INET6) with port, and its length.
inline sockaddr_storage LoopbackAddress(int family, int port, socklen_t& length) {
    sockaddr_storage address{};
    if (family == AF_INET6) {
        auto& six = reinterpret_cast<sockaddr_in6&>(address);
        six.sin6_family = AF_INET6;
        six.sin6_addr = in6addr_loopback;
        six.sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof six;
    } else {
        auto& four = reinterpret_cast<sockaddr_in&>(address);
        four.sin_family = AF_INET;
        four.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        four.sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof four;
    }
    return address;
}

// The port a bound socket has, 0 when it has none.
inline int BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                               : reinterpret_cast<sockaddr_in&>(address).sin_port);
}

// Whether an AF_INET6 socket can be made and bound to ::1 here (IPv6 may be off, or lo may
// have no ::1, as in some containers).
inline bool IPv6LoopbackBindable() {
    const int fd = socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0) return false;
    socklen_t length;
    const sockaddr_storage address = LoopbackAddress(AF_INET6, 0, length);
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    close(fd);
    return bound;
}

// How a client names a loopback listener: 127.0.0.1:port, or [::1]:port.
inline std::string LoopbackHost(int family, int port) {
    return (family == AF_INET6 ? "[::1]:" : "127.0.0.1:") + std::to_string(port);
}

class LoopbackServer {
public:
    static constexpr int WaitMs = 15000;       // the longest the server waits for the client
    static constexpr int PieceGapMs = 40;      // between two pieces of a reply
    static constexpr int HoldMs = 30000;       // a held connection stays open this long

    // What the server does with a connection once its reply is sent.
    enum class After { Close, Hold };

    // Listens on the loopback of family, on the given port or a free one (port stays 0 when
    // that fails).
    explicit LoopbackServer(int backlog = 4, int family = AF_INET, int wantedPort = 0) : family(family) {
        listener = socket(family, SOCK_STREAM, 0);
        socklen_t length;
        const sockaddr_storage address = LoopbackAddress(family, wantedPort, length);
        if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
            listen(listener, backlog) != 0)
            return;
        port = BoundPort(listener);
    }
    ~LoopbackServer() {
        Join();
        if (listener >= 0) close(listener);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string Host() const { return LoopbackHost(family, port); }

    // The next connection gets these pieces, gapMs apart, then the server closes it, or holds
    // it open for HoldMs. A client that leaves early ends the reply, or the hold, at once.
    void Reply(std::vector<std::string> pieces, int gapMs = PieceGapMs, After after = After::Close) {
        Join();
        worker = std::thread([this, pieces, gapMs, after] {
            const int fd = Accept();
            if (fd < 0) return;
            request = ReadHead(fd);
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            bool open = true;
            for (const std::string& piece : pieces)
                if (!(open = SendAll(fd, piece) && Pause(fd, gapMs))) break;
            if (open && after == After::Hold) Pause(fd, HoldMs);
            shutdown(fd, SHUT_WR);
            close(fd);
        });
    }

    // The next connection gets no answer; the server keeps it open until the client leaves.
    void Silent() {
        Join();
        worker = std::thread([this] {
            const int fd = Accept();
            if (fd < 0) return;
            request = ReadHead(fd);
            char byte;
            while (recv(fd, &byte, 1, 0) > 0) {
            }
            close(fd);
        });
    }

    // What the last connection sent, once it is over.
    std::string Request() {
        Join();
        return request;
    }

    int port = 0;

private:
    void Join() {
        if (worker.joinable()) worker.join();
    }
    int Accept() const {
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, WaitMs) != 1) return -1;
        const int fd = accept(listener, nullptr, nullptr);
        timeval limit{WaitMs / 1000, 0};
        if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        return fd;
    }
    // Reads up to and including the empty line that ends the request head.
    static std::string ReadHead(int fd) {
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1) head += c;
        return head;
    }
    static bool SendAll(int fd, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }
    // Waits ms milliseconds; false as soon as the client has closed its end or the connection
    // broke (the client sends nothing after its request).
    static bool Pause(int fd, int ms) {
        pollfd waiting{fd, POLLIN, 0};
        int ready;
        do ready = poll(&waiting, 1, ms);
        while (ready < 0 && errno == EINTR);
        return ready == 0;
    }

    int family;
    int listener = -1;
    std::thread worker;
    std::string request;
};

// A loopback listener that never accepts, its accept queue filled until a further connection
// attempt gets no answer: the SYN is dropped, as from a host whose route is broken, so a
// connect to it neither stands nor fails. Silent() says whether that was reached here.
class FullQueueListener {
public:
    static constexpr int MostQueued = 8;    // attempts before giving up on filling the queue
    static constexpr int AnswerMs = 300;    // an attempt unanswered this long counts as dropped

    explicit FullQueueListener(int family = AF_INET, int wantedPort = 0) : family(family) {
        listener = socket(family, SOCK_STREAM, 0);
        socklen_t length;
        const sockaddr_storage wanted = LoopbackAddress(family, wantedPort, length);
        if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&wanted), length) != 0 ||
            listen(listener, 0) != 0)
            return;
        port = BoundPort(listener);
        const sockaddr_storage address = LoopbackAddress(family, port, length);
        for (int i = 0; i < MostQueued && !silent; ++i) {
            const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (fd < 0) break;
            queued.push_back(fd);
            if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 || errno != EINPROGRESS) continue;
            pollfd waiting{fd, POLLOUT, 0};
            silent = poll(&waiting, 1, AnswerMs) == 0;
        }
    }
    ~FullQueueListener() {
        for (int fd : queued) close(fd);
        if (listener >= 0) close(listener);
    }
    FullQueueListener(const FullQueueListener&) = delete;
    FullQueueListener& operator=(const FullQueueListener&) = delete;

    bool Silent() const { return silent; }
    std::string Host() const { return LoopbackHost(family, port); }

    int port = 0;

private:
    int family;
    int listener = -1;
    bool silent = false;
    std::vector<int> queued;
};
