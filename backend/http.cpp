// The backend's HTTP client: one GET over a POSIX TCP socket to the first of the host's
// addresses to connect (their connects raced, a quarter second apart, within one 3 s), the
// reply read past any interim 1xx heads until its final head's Content-Length or last chunk
// says it is whole, else until the server closes (at most ReplyLimit bytes, within
// ReceiveTimeoutMs of the request in all), a chunked body decoded, and the payload taken from
// between the framing delimiters. Also where the score server's host is configured.
#include "Vorn_glfw3.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

char webBuffer[WebBufferSize];
std::string website_HTML;

namespace {

constexpr int MaxPort = 65535;

// A socket of one exchange, closed when it goes out of scope or is replaced.
struct Socket {
    int fd = -1;
    Socket() = default;
    Socket(Socket&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            if (fd >= 0) close(fd);
            fd = other.fd;
            other.fd = -1;
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (fd >= 0) close(fd);
    }
    // A new socket for address (with the extra type flags, such as SOCK_NONBLOCK) in place of
    // the old one; false, keeping the old one, when none can be made.
    bool Open(const addrinfo& address, int flags = 0) {
        const int made = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | flags, address.ai_protocol);
        if (made < 0) return false;
        if (fd >= 0) close(fd);
        fd = made;
        return true;
    }
};

// The addresses a host name was looked up to, freed when they go out of scope.
using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

void PrintText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// A byte the framing scan keeps: printable ASCII, DEL, CR and LF.
bool KeptByte(unsigned char c) { return (c >= 32 && c <= 127) || c == '\r' || c == '\n'; }

// Looks the host up, every address family, with its port or HttpPort. Empty when the host is
// not written as SplitHost takes it or the name is unknown.
AddressList Lookup(const std::string& host) {
    std::string name, port;
    addrinfo* found = nullptr;
    if (SplitHost(host, name, port)) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        if (getaddrinfo(name.c_str(), port.c_str(), &hints, &found) != 0) found = nullptr;
    }
    return AddressList(found, freeaddrinfo);
}

using Clock = std::chrono::steady_clock;

// The moment ms milliseconds from now.
Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

// Waits until one of the sockets is ready for its events or the deadline passes. The number
// of sockets ready (or with an error or a hang-up to report), 0 when the time ran out first. A
// signal does not end the wait; the wait goes on for the time that is left.
int WaitAny(std::vector<pollfd>& sockets, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return 0;
        const int ready = poll(sockets.data(), sockets.size(), static_cast<int>(left));
        if (ready > 0) return ready;
        if (ready == 0 || errno != EINTR) return 0;
    }
}

bool WaitReady(int fd, short events, Clock::time_point deadline) {
    std::vector<pollfd> one{{fd, events, 0}};
    return WaitAny(one, deadline) > 0;
}

// The addresses in the order their connects start: the families take turns, the first
// address's family first, each family in the order of the lookup (so a name whose IPv6
// addresses all come first still has an IPv4 one tried second).
std::vector<const addrinfo*> AttemptOrder(const addrinfo* addresses) {
    std::vector<const addrinfo*> first, other, order;
    for (const addrinfo* a = addresses; a; a = a->ai_next)
        (a->ai_family == addresses->ai_family ? first : other).push_back(a);
    for (std::size_t i = 0; i < first.size() || i < other.size(); ++i) {
        if (i < first.size()) order.push_back(first[i]);
        if (i < other.size()) order.push_back(other[i]);
    }
    return order;
}

// The outcome of the connects to a host's addresses.
struct Connection {
    Socket sock;          // the one that connected, blocking again; none when none did
    bool tried = false;   // whether a socket could be made for any address at all
};

// Races non-blocking connects to the addresses, as Happy Eyeballs does: the first starts at
// once; each next one AttemptDelayMs after the last started while none has connected, or at
// once when an attempt fails. Attempts already started go on; the first to connect wins and the
// others are closed. All of it ends ConnectWaitMs after the start, or as soon as every
// address has failed.
Connection ConnectFirst(const addrinfo* addresses) {
    const std::vector<const addrinfo*> order = AttemptOrder(addresses);
    const Clock::time_point deadline = After(ConnectWaitMs);
    Connection result;
    std::vector<Socket> pending;
    std::size_t next = 0;
    Clock::time_point nextStart = Clock::now();
    for (;;) {
        while (next < order.size() && Clock::now() >= nextStart) {
            const addrinfo& a = *order[next++];
            Socket attempt;
            if (!attempt.Open(a, SOCK_NONBLOCK)) continue;   // no socket of this family: the next at once
            result.tried = true;
            if (connect(attempt.fd, a.ai_addr, a.ai_addrlen) == 0) {
                result.sock = std::move(attempt);
                break;
            }
            // Failed at once: the next at once. (A signal leaves the connect going on.)
            if (errno != EINPROGRESS && errno != EINTR) continue;
            pending.push_back(std::move(attempt));
            nextStart = After(AttemptDelayMs);
        }
        if (result.sock.fd >= 0 || (pending.empty() && next == order.size()) || Clock::now() >= deadline) break;
        std::vector<pollfd> waiting;
        for (const Socket& s : pending) waiting.push_back({s.fd, POLLOUT, 0});
        if (WaitAny(waiting, next < order.size() ? std::min(nextStart, deadline) : deadline) == 0) continue;
        for (std::size_t i = waiting.size(); i-- > 0;) {
            if (waiting[i].revents == 0) continue;
            int error = 0;
            socklen_t size = sizeof error;
            if (getsockopt(waiting[i].fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
                result.sock = std::move(pending[i]);
                break;
            }
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
            nextStart = Clock::now();
        }
        if (result.sock.fd >= 0) break;
    }
    if (result.sock.fd >= 0) {
        const int flags = fcntl(result.sock.fd, F_GETFL, 0);
        fcntl(result.sock.fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return result;   // the attempts still pending close here
}

// Tries the addresses in turn with blocking connects and no wait of its own until one
// connects. sock holds the last socket made, connected or not.
bool ConnectBlocking(Socket& sock, const addrinfo* addresses) {
    for (const addrinfo* a = addresses; a; a = a->ai_next)
        if (sock.Open(*a) && connect(sock.fd, a->ai_addr, a->ai_addrlen) == 0) return true;
    return false;
}

// ---- reading the reply ----

constexpr const char* HeadEnd = "\r\n\r\n";
constexpr std::size_t HeadEndLength = 4;
constexpr const char* StatusLineStart = "HTTP/";
constexpr const char* TransferEncodingField = "transfer-encoding";
constexpr const char* ContentLengthField = "content-length";
constexpr const char* ChunkedCoding = "chunked";
constexpr std::size_t NoLength = std::string::npos;
// Longer than any body a reply may hold: a chunk or a Content-Length above it never arrives
// whole, the reply being cut at ReplyLimit first, so larger sizes are held at LongestBody + 1.
constexpr std::size_t LongestBody = ReplyLimit;
// Interim heads (1xx) come before the final one; 101 is not one of them, it ends HTTP.
constexpr int InterimClass = 1;
constexpr int SwitchingProtocols = 101;

bool SameLetters(const std::string& a, const char* b) {
    const std::size_t length = std::char_traits<char>::length(b);
    if (a.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// text without the blanks and tabs at either end.
std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of a hex digit, -1 for any other byte.
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes a chunked body as it arrives: each chunk a size line (hex digits, then optionally
// ";" and extensions, which are skipped), that many bytes and a line end; a size of 0 is the
// last chunk, followed by trailer lines and an empty line. A line ends with CR LF or a bare
// LF. Anything else breaks the body. A chunk of any size is taken as far as it arrives.
class ChunkedBody {
public:
    void Add(const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count && state != State::Done && state != State::Broken; ++i) {
            if (state == State::Data) {
                const std::size_t taken = std::min(left, count - i);
                body.append(bytes + i, taken);
                left -= taken;
                i += taken - 1;
                if (left == 0) state = State::DataEnd;
                continue;
            }
            Step(bytes[i]);
        }
    }
    bool Done() const { return state == State::Done; }
    bool Broken() const { return state == State::Broken; }
    const std::string& Body() const { return body; }

private:
    enum class State {
        Size,              // the hex digits of a size line
        Extension,         // the rest of a size line after its digits
        SizeLineFeed,      // after the CR of a size line
        Data,              // the bytes of a chunk
        DataEnd,           // the line end after a chunk's bytes
        DataLineFeed,      // after its CR
        TrailerStart,      // the start of a line after the last chunk: a trailer or the end
        Trailer,           // inside a trailer line
        EndLineFeed,       // after the CR of the empty line that ends the body
        Done,
        Broken,
    };

    void Step(char c) {
        switch (state) {
            case State::Size: {
                const int digit = HexValue(c);
                if (digit >= 0) {
                    size = std::min(size * 16 + static_cast<std::size_t>(digit), LongestBody + 1);
                    digits = true;
                } else if (!digits) {
                    state = State::Broken;
                } else if (c == ';' || c == ' ' || c == '\t') {
                    state = State::Extension;
                } else {
                    EndOfLine(c, State::SizeLineFeed);
                }
                break;
            }
            case State::Extension:
                if (c == '\r' || c == '\n') EndOfLine(c, State::SizeLineFeed);
                break;
            case State::SizeLineFeed:
                if (c == '\n') SizeLineRead();
                else state = State::Broken;
                break;
            case State::DataEnd:
                if (c == '\r') state = State::DataLineFeed;
                else if (c == '\n') NextChunk();
                else state = State::Broken;
                break;
            case State::DataLineFeed:
                if (c == '\n') NextChunk();
                else state = State::Broken;
                break;
            case State::TrailerStart:
                if (c == '\r') state = State::EndLineFeed;
                else if (c == '\n') state = State::Done;
                else state = State::Trailer;
                break;
            case State::Trailer:
                if (c == '\n') state = State::TrailerStart;
                break;
            case State::EndLineFeed:
                state = c == '\n' ? State::Done : State::Broken;
                break;
            case State::Data:
            case State::Done:
            case State::Broken:
                break;
        }
    }
    // A CR waits for its LF in afterCR; an LF ends the size line now; any other byte breaks it.
    void EndOfLine(char c, State afterCR) {
        if (c == '\r') state = afterCR;
        else if (c == '\n') SizeLineRead();
        else state = State::Broken;
    }
    void SizeLineRead() {
        left = size;
        state = size == 0 ? State::TrailerStart : State::Data;
    }
    void NextChunk() {
        size = 0;
        digits = false;
        state = State::Size;
    }

    State state = State::Size;
    std::size_t size = 0;    // of the chunk whose size line is being read
    bool digits = false;     // whether that line has had a digit yet
    std::size_t left = 0;    // bytes of the current chunk still to come
    std::string body;
};

// How the end of a reply's body is known.
enum class Framing {
    UntilClose,   // the server closes the connection (or the reply is cut)
    Length,       // Content-Length bytes
    Chunked,      // the last chunk and its trailers
};

// The status code of an HTTP status line ("HTTP/" version, a blank, three digits), -1 when
// head does not start with one.
int StatusCode(const std::string& head) {
    const std::size_t prefix = std::char_traits<char>::length(StatusLineStart);
    if (head.compare(0, prefix, StatusLineStart) != 0) return -1;
    const std::size_t blank = head.find(' ', prefix);
    if (blank == std::string::npos || head.size() < blank + 4) return -1;
    int code = 0;
    for (std::size_t i = blank + 1; i < blank + 4; ++i) {
        if (head[i] < '0' || head[i] > '9') return -1;
        code = code * 10 + (head[i] - '0');
    }
    if (head.size() > blank + 4 && head[blank + 4] != ' ' && head[blank + 4] != '\r') return -1;
    return code;
}

// One reply as it arrives. Interim heads (1xx but 101, such as 100 Continue or 103 Early
// Hints, each with its own header lines) are passed over; the final head, once whole, says how
// the body is framed: a Transfer-Encoding whose last coding is chunked, else a Content-Length,
// else the close (a head that names another coding last, carries a Content-Length that is no
// number, or two different ones, is 101 Switching Protocols, or is not an HTTP status line,
// also leaves the close to end it).
class Reply {
public:
    void Add(const char* bytes, std::size_t count) {
        const std::size_t before = raw.size();
        raw.append(bytes, count);
        if (bodyStart != std::string::npos) {
            if (framing == Framing::Chunked) chunks.Add(bytes, count);
            return;
        }
        std::size_t from = std::max(headStart, before >= HeadEndLength ? before - (HeadEndLength - 1) : 0);
        for (;;) {
            const std::size_t end = raw.find(HeadEnd, from);
            if (end == std::string::npos) return;
            const std::string head = raw.substr(headStart, end - headStart);
            from = headStart = end + HeadEndLength;
            const int status = StatusCode(head);
            if (status / 100 == InterimClass && status != SwitchingProtocols) continue;
            bodyStart = headStart;
            if (status != SwitchingProtocols) ReadHead(head);
            if (framing == Framing::Chunked) chunks.Add(raw.data() + bodyStart, raw.size() - bodyStart);
            return;
        }
    }
    std::size_t Received() const { return raw.size(); }
    // True once the head's framing says the reply is over (or its chunks broke).
    bool Whole() const {
        switch (framing) {
            case Framing::Length:
                return raw.size() - bodyStart >= length;
            case Framing::Chunked:
                return chunks.Done() || chunks.Broken();
            case Framing::UntilClose:
                break;
        }
        return false;
    }
    // The text the delimiters are looked for in: the reply as it came, but a chunked body
    // decoded (nothing at all when the chunks broke) and a body with a length cut there.
    std::string Text() const {
        switch (framing) {
            case Framing::Length:
                return raw.substr(0, bodyStart + std::min(length, raw.size() - bodyStart));
            case Framing::Chunked:
                return chunks.Broken() ? "" : raw.substr(0, bodyStart) + chunks.Body();
            case Framing::UntilClose:
                break;
        }
        return raw;
    }

private:
    void ReadHead(const std::string& head) {
        if (head.compare(0, std::char_traits<char>::length(StatusLineStart), StatusLineStart) != 0) return;
        bool coded = false, chunked = false, lengthBad = false;
        std::size_t lineStart = head.find("\r\n");
        while (lineStart != std::string::npos) {
            lineStart += 2;
            const std::size_t lineEnd = head.find("\r\n", lineStart);
            const std::string line = head.substr(lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
            lineStart = lineEnd;
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            const std::string name = line.substr(0, colon), value = Trimmed(line.substr(colon + 1));
            if (SameLetters(name, TransferEncodingField)) {
                // The codings are listed in the order they were applied; chunked must be last.
                const std::size_t comma = value.rfind(',');
                coded = true;
                chunked = SameLetters(Trimmed(comma == std::string::npos ? value : value.substr(comma + 1)), ChunkedCoding);
            } else if (SameLetters(name, ContentLengthField)) {
                const std::size_t number = LengthValue(value);
                if (number == NoLength || (length != NoLength && number != length)) lengthBad = true;
                length = number;
            }
        }
        if (coded) framing = chunked ? Framing::Chunked : Framing::UntilClose;
        else if (length != NoLength && !lengthBad) framing = Framing::Length;
    }
    // A Content-Length's decimal value, held at LongestBody + 1 when larger; NoLength when it
    // is not a number.
    static std::size_t LengthValue(const std::string& value) {
        if (value.empty()) return NoLength;
        std::size_t number = 0;
        for (char c : value) {
            if (c < '0' || c > '9') return NoLength;
            number = std::min(number * 10 + static_cast<std::size_t>(c - '0'), LongestBody + 1);
        }
        return number;
    }

    std::string raw;
    std::size_t headStart = 0;   // of the head not yet whole, past any interim heads
    std::size_t bodyStart = std::string::npos;
    Framing framing = Framing::UntilClose;
    std::size_t length = NoLength;
    ChunkedBody chunks;
};

// Sends the request and reads the reply until it is whole, the server closes, an error,
// ReplyLimit bytes, or ReceiveTimeoutMs after the request went out, however the bytes trickle
// in; returns the payload of what arrived by then.
std::string Exchange(int fd, const std::string& host, const char* path) {
    const std::string request = std::string("GET /") + (path ? path : "") + " HTTP/1.1\r\nHost: " + host +
                                "\r\nConnection: close\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const Clock::time_point deadline = After(ReceiveTimeoutMs);
    Reply reply;
    while (!reply.Whole()) {
        const std::size_t room = std::min<std::size_t>(WebBufferSize, ReplyLimit - reply.Received());
        if (room == 0) break;
        if (!WaitReady(fd, POLLIN, deadline)) break;
        const ssize_t got = recv(fd, webBuffer, room, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        reply.Add(webBuffer, static_cast<std::size_t>(got));
    }
    return FramedPayload(reply.Text());
}

// One GET of path from host, the payload into grabbed. A host that cannot be looked up leaves
// grabbed as it was; so does a failed waiting connect. The plain connect does not wait, and
// when it fails still goes on to send and receive, which then yields an empty payload.
void Fetch(const char* host, const char* path, bool waitForConnect, std::string& grabbed) {
    const std::string hostText = host ? host : "";
    const AddressList addresses = Lookup(hostText);
    if (!addresses) return;
    if (waitForConnect) {
        FetchFromFirstToConnect(addresses.get(), hostText, path, grabbed);
        return;
    }
    Socket sock;
    const bool connected = ConnectBlocking(sock, addresses.get());
    if (sock.fd < 0) return;   // not one socket could be made
    if (!connected) PrintText("Could not connect");
    grabbed = Exchange(sock.fd, hostText, path);
}

}  // namespace

void FetchFromFirstToConnect(const addrinfo* addresses, const std::string& host, const char* path, std::string& grabbed) {
    const Connection connection = ConnectFirst(addresses);
    if (!connection.tried) return;   // not one socket could be made
    if (connection.sock.fd < 0) {
        PrintText("\n-=Unable to Connect=-\n");
        return;
    }
    grabbed = Exchange(connection.sock.fd, host, path);
}

bool SplitHost(const std::string& host, std::string& name, std::string& port) {
    std::string rest;   // "" or ":" and the port
    if (!host.empty() && host[0] == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string::npos) return false;
        name = host.substr(1, close - 1);
        rest = host.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
    } else {
        const std::size_t colon = host.rfind(':');
        name = host.substr(0, colon);
        if (colon != std::string::npos) rest = host.substr(colon);
    }
    if (name.empty()) return false;
    if (rest.empty()) {
        port = std::to_string(HttpPort);
        return true;
    }
    port = rest.substr(1);
    if (port.empty() || port.size() > 5) return false;
    for (char c : port)
        if (c < '0' || c > '9') return false;
    const int number = std::atoi(port.c_str());
    return number >= 1 && number <= MaxPort;
}

std::string ReplyPayload(const std::string& bytes) {
    Reply reply;
    reply.Add(bytes.data(), std::min<std::size_t>(bytes.size(), ReplyLimit));
    return FramedPayload(reply.Text());
}

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
