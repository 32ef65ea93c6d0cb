// Fuzz target: a score server's reply. The input is the whole byte stream a server sends back;
// its payload is cut out with ReplyPayload (chunked or not), and a loopback server of this process sends it to the
// game's own score exchange (SendScores), which reads the payload into the online tables.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "game_support.h"

namespace {

constexpr int HeadWaitMs = 5000;   // the longest the server waits for the request head

// Answers every connection with the current reply and closes it; runs for the whole process.
class ReplyServer {
public:
    ReplyServer() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listener, 8) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        std::thread([this] { Serve(); }).detach();
    }
    void Set(const uint8_t* data, size_t size) {
        std::lock_guard<std::mutex> lock(mutex);
        reply.assign(reinterpret_cast<const char*>(data), size);
    }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port); }
    int port = 0;

private:
    void Serve() {
        for (;;) {
            const int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) continue;
            ReadHead(fd);
            std::string bytes;
            {
                std::lock_guard<std::mutex> lock(mutex);
                bytes = reply;
            }
            for (size_t sent = 0; sent < bytes.size();) {
                const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            shutdown(fd, SHUT_WR);
            close(fd);
        }
    }
    static void ReadHead(int fd) {
        std::string head;
        char c;
        pollfd waiting{fd, POLLIN, 0};
        while (head.find("\r\n\r\n") == std::string::npos && poll(&waiting, 1, HeadWaitMs) == 1 &&
               recv(fd, &c, 1, 0) == 1)
            head += c;
    }
    int listener = -1;
    std::mutex mutex;
    std::string reply;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ReplyServer server;
    MyGame& g = fuzz::LaunchedGame();
    ReplyPayload(std::string(reinterpret_cast<const char*>(data), size));
    if (server.port == 0) return 0;
    setenv(ScoreHostVariable, server.Host().c_str(), 1);
    g.Option[OptOnlineName] = fuzz::NameCodes;
    server.Set(data, size);
    g.SendScores(0);
    return 0;
}
