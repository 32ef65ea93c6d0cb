// The backend's HTTP client: one GET over a POSIX TCP socket to the first of the host's
// addresses that connects, the reply read until its head's Content-Length or last chunk says it
// is whole, else until the server closes (at most ReplyLimit bytes, within ReceiveTimeoutMs of
// the request in all), a chunked body decoded, and the payload taken from between the framing
// delimiters. Also where the score server's host is configured.
#include "Vorn_glfw3.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
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

// The socket of one exchange, closed when it goes out of scope or is replaced.
struct Socket {
    int fd = -1;
    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (fd >= 0) close(fd);
    }
    // A new socket for address in place of the old one; false, keeping the old one, when none
    // can be made.
    bool Open(const addrinfo& address) {
        const int made = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
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

// Connects to one address without blocking and waits until the deadline for the connection to
// stand.
bool ConnectBy(int fd, const addrinfo& address, Clock::time_point deadline) {
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) return false;
    if (!WaitReady(fd, POLLOUT, deadline)) return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
    fcntl(fd, F_SETFL, flags);
    return true;
}

// Tries the addresses in turn, all within one ConnectWaitMs, until one connects. sock holds the
// last socket made, connected or not.
bool ConnectWaiting(Socket& sock, const addrinfo* addresses) {
    const Clock::time_point deadline = After(ConnectWaitMs);
    for (const addrinfo* a = addresses; a; a = a->ai_next) {
        if (!sock.Open(*a)) continue;
        if (ConnectBy(sock.fd, *a, deadline)) return true;
        if (Clock::now() >= deadline) break;
    }
    return false;
}

// The same with blocking connects and no wait of its own.
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
// whole, the reply being cut at ReplyLimit first.
constexpr std::size_t LongestBody = ReplyLimit;

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
// LF. Anything else, or a chunk longer than LongestBody, breaks the body.
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
                    size = size * 16 + static_cast<std::size_t>(digit);
                    digits = true;
                    if (size > LongestBody) state = State::Broken;
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

// One reply as it arrives. Its head, once whole, says how the body is framed: a
// Transfer-Encoding whose last coding is chunked, else a Content-Length, else the close (a head
// that names another coding last, carries a Content-Length that is no number, or two different
// ones, or is not an HTTP status line, also leaves the close to end it).
class Reply {
public:
    void Add(const char* bytes, std::size_t count) {
        const std::size_t before = raw.size();
        raw.append(bytes, count);
        if (bodyStart == std::string::npos) {
            const std::size_t end = raw.find(HeadEnd, before >= HeadEndLength ? before - (HeadEndLength - 1) : 0);
            if (end == std::string::npos) return;
            bodyStart = end + HeadEndLength;
            ReadHead(raw.substr(0, end));
            if (framing == Framing::Chunked) chunks.Add(raw.data() + bodyStart, raw.size() - bodyStart);
        } else if (framing == Framing::Chunked) {
            chunks.Add(bytes, count);
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
    Socket sock;
    const bool connected = waitForConnect ? ConnectWaiting(sock, addresses.get()) : ConnectBlocking(sock, addresses.get());
    if (sock.fd < 0) return;   // not one socket could be made
    if (!connected) {
        if (waitForConnect) {
            PrintText("\n-=Unable to Connect=-\n");
            return;
        }
        PrintText("Could not connect");
    }
    grabbed = Exchange(sock.fd, hostText, path);
}

}  // namespace

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
