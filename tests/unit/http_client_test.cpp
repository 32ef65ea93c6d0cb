// The HTTP client against a stand-in server on a free loopback port: the request bytes, the
// payload between the framing delimiters in one piece or split over many, replies without a
// delimiter, dropped bytes, the 64 KiB cut, chunked replies whole and broken, replies that end
// at their length or last chunk on a connection the server keeps open, a server that never
// answers or drips its reply, a connection that never stands, a refused one, an unknown host, a
// server on ::1; how a host is split; the core's escaping of the score data and the configured
// score server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "VornCore.h"
#include "http_server.h"

namespace {

VornCore Core;

const std::string Head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
const std::string Open = "[-\r\nData-]";
const std::string Close = "[-\r\nEnd-]";
// A name whose 70-character label no resolver accepts: the lookup fails without a query.
const std::string UnknownHost = std::string(70, 'q') + ".invalid";

// A reply the test server sends in pieces (one send each) and the payload the client must find.
struct ReplyCase {
    const char* name;
    std::vector<std::string> pieces;
    std::string payload;
};

std::string Request(const std::string& host, const std::string& path) {
    return "GET /" + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

// Runs f and returns what it printed on standard output.
std::string Printed(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

// The pieces as one text.
std::string Joined(const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& piece : pieces) all += piece;
    return all;
}

// Each reply through a fetch from the loopback server and through the reading of the whole
// text at once: both find the same payload.
template <std::size_t N>
void ExpectPayloads(const ReplyCase (&cases)[N]) {
    LoopbackServer server;
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.URLGrabbed = "stale";
        server.Reply(c.pieces);
        ASys.URLData(server.Host().c_str(), "p");
        EXPECT_EQ(ASys.URLGrabbed, c.payload);
        EXPECT_EQ(ReplyPayload(Joined(c.pieces)), c.payload);
    }
}

// The chunks as a chunked body: each its size in hex and its bytes, then the last chunk.
std::string Chunked(const std::vector<std::string>& chunks, const std::string& last = "0\r\n\r\n") {
    std::string body;
    char size[32];
    for (const std::string& chunk : chunks) {
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        body += size + chunk + "\r\n";
    }
    return body + last;
}

// A loopback port with nothing listening on it.
int ClosedPort() {
    LoopbackServer gone;
    return gone.port;   // the listener closes with it
}

}  // namespace

TEST(HttpClient, SendsExactlyTheRequestLineAndTwoHeaders) {
    LoopbackServer server;
    ASSERT_GT(server.port, 0);
    struct Case {
        std::string host, path;
    };
    const Case cases[] = {
        {server.Host(), "Scores.php?Game=0556&Score=a*!U!*b"},
        {"localhost:" + std::to_string(server.port), ""},   // the Host header carries the name as given
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host + " " + c.path);
        server.Reply({Head + Open + "ok" + Close});
        ASys.URLData(c.host.c_str(), c.path.c_str());
        EXPECT_EQ(server.Request(), Request(c.host, c.path));
        EXPECT_EQ(ASys.URLGrabbed, "ok");
    }
}

TEST(HttpClient, PayloadLiesBetweenTheDelimiters) {
    const std::string longText(5000, 'L');
    const ReplyCase cases[] = {
        {"in one piece", {Head + "xx" + Open + "12{ab" + Close + "yy"}, "12{ab"},
         {"split over pieces, the delimiters too",
         {Head + "xx[-\r\nDa", "ta-]hel", "lo\r\nwor", "ld[-\r\nEn", "d-]yy"},
         "hello\r\nworld"},
        {"head and payload apart", {Head, Open, "abc", Close}, "abc"},
        {"no closing delimiter", {Head + Open + "abc", "def"}, "abcdef"},
        {"no opening delimiter", {Head + "abc" + Close}, ""},
        {"closing before opening", {Head + Close + "x" + Open + "abc" + Close}, ""},
        {"tabs, control bytes and bytes above 127 are dropped",
         {Head + Open + "a\tb\xC3\xA9" + "c\x01\x1f\r\nd\x7f" + Close}, "abc\r\nd\x7f"},
        {"longer than 1,023 characters", {Head + Open + longText + Close}, longText},
        {"empty payload", {Head + Open + Close}, ""},
        {"the server closes without a word", {}, ""},
    };
    ExpectPayloads(cases);
}

const std::string ChunkedHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";

// A chunked reply is decoded before the delimiters are looked for, wherever its chunks and the
// receives split it; a head that says nothing of chunks is read as it comes, head and all.
TEST(HttpClient, AChunkedReplyIsDecodedBeforeThePayloadIsLookedFor) {
    const std::string longText(5000, 'L');
    const std::string split = Chunked({"xx[-\r", "\nDa", "ta-]hel", "lo\r\nwor", "ld[-\r\nEn", "d-]yy"});
    const ReplyCase cases[] = {
        {"chunk boundaries inside the payload and both delimiters", {ChunkedHead + split}, "hello\r\nworld"},
        {"the receives split the size lines too",
         {ChunkedHead + split.substr(0, 1), split.substr(1, 4), split.substr(5, 17), split.substr(22)},
         "hello\r\nworld"},
        {"head and chunks apart", {ChunkedHead, Chunked({Open + "abc" + Close})}, "abc"},
        {"a chunk longer than one receive", {ChunkedHead + Chunked({Open + longText, Close})}, longText},
        {"upper-case hex, leading zeros, extensions and trailers",
         {ChunkedHead + "00A;name=value;q=\"a;b\"\r\n" + Open + "\r\n00a ; x\r\nABCDEFGHIJ\r\n9\r\n" + Close +
          "\r\n0;last\r\nChecksum: 1\r\nX-Other: 2\r\n\r\n"},
         "ABCDEFGHIJ"},
        {"line ends of a bare line feed", {ChunkedHead + "a\n" + Open + "\n3\nabc\n9\n" + Close + "\n0\n\n"}, "abc"},
        {"header name and coding in any case, codings before chunked",
         {"HTTP/1.1 200 OK\r\ntransfer-ENCODING:  x-first , Chunked \r\n\r\n" + Chunked({Open + "ok" + Close})},
         "ok"},
        {"chunked before a Content-Length",
         {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked({Open + "long", Close})},
         "long"},
        {"the server closes inside a chunk: what came of it", {ChunkedHead + "20\r\n" + Open + "part"}, "part"},
        {"a coding after chunked: read as it came",
         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, x-last\r\n\r\n" + Chunked({Open + "a", "b" + Close})},
         "a\r\na\r\nb"},   // the size line of the 10-byte chunk lands in the payload
        {"no HTTP status line: read as it came",
         {"XTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + Chunked({Open + "a", "b" + Close})},
         "a\r\na\r\nb"},   // the size line of the 10-byte chunk lands in the payload
        {"Content-Length not a number: read to the close",
         {"HTTP/1.1 200 OK\r\nContent-Length: 2x\r\n\r\n" + Open + "whole" + Close}, "whole"},
        {"two different Content-Lengths: read to the close",
         {"HTTP/1.1 200 OK\r\nContent-Length: 20\r\nContent-Length: 21\r\n\r\n" + Open + "whole" + Close}, "whole"},
    };
    ExpectPayloads(cases);
}

// Broken chunking gives no payload at all, however well framed the text in it looks, and
// ends the exchange.
TEST(HttpClient, BrokenChunkingGivesAnEmptyPayload) {
    const std::string framed = Open + "looks fine" + Close;
    struct Case {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"a size that is no hex number", "zz\r\n" + framed + "\r\n0\r\n\r\n"},
        {"a size line without digits", ";x=1\r\n" + framed + "\r\n0\r\n\r\n"},
        {"a negative size", "-13\r\n" + framed + "\r\n0\r\n\r\n"},
        {"a blank before the size", " 13\r\n" + framed + "\r\n0\r\n\r\n"},
        {"a chunk longer than any reply", "FFFFFFFF\r\n" + framed},
        {"a size of more digits than any number holds", "100000000000000000000000000000001\r\n" + framed},
        {"a carriage return without its line feed", "13\r" + framed},
        {"a chunk longer than its size", "5\r\n" + framed + "\r\n0\r\n\r\n"},
        {"no line feed after the last chunk's empty line", Chunked({framed}, "0\r\n\rX")},
    };
    LoopbackServer server;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.URLGrabbed = "stale";
        server.Reply({ChunkedHead + c.body});
        ASys.URLData(server.Host().c_str(), "p");
        EXPECT_EQ(ASys.URLGrabbed, "");
        EXPECT_EQ(ReplyPayload(ChunkedHead + c.body), "");
    }
}

// A server that keeps the connection open after its reply: the exchange ends as soon as the
// Content-Length's bytes or the last chunk and its trailers are in, not at the reply deadline.
TEST(HttpClient, AReplyEndsAtItsLengthOrLastChunkThoughTheServerKeepsTheConnection) {
    // Far short of the 5-second reply deadline a client waiting for the close would take; the
    // server holds the connection for 30.
    constexpr double HangBoundSeconds = 3.0;
    const std::string body = "xx" + Open + "kept open" + Close + "yy";
    const std::string lengthHead = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    const std::string chunks = Chunked({"xx" + Open + "kept", " open" + Close + "yy"}, "0\r\nX-Trailer: t\r\n\r\n");
    const ReplyCase cases[] = {
        {"Content-Length", {lengthHead + body}, "kept open"},
        {"Content-Length, the head's end and the body split over receives",
         {lengthHead.substr(0, lengthHead.size() - 3), lengthHead.substr(lengthHead.size() - 3) + "xx[-\r", body.substr(5)},
         "kept open"},
        {"content-length in small letters with blanks",
         {"HTTP/1.1 200 OK\r\ncontent-length:   " + std::to_string(body.size()) + " \r\n\r\n" + body}, "kept open"},
        {"bytes past the length are not the reply", {lengthHead + body + Open + "more" + Close}, "kept open"},
        {"a length of 0", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, ""},
        {"chunked with trailers", {ChunkedHead + chunks}, "kept open"},
        {"chunked, the last chunk split over receives",
         {ChunkedHead + chunks.substr(0, chunks.size() - 5), chunks.substr(chunks.size() - 5)}, "kept open"},
    };
    LoopbackServer server;
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.URLGrabbed = "stale";
        server.Reply(c.pieces, LoopbackServer::PieceGapMs, LoopbackServer::After::Hold);
        const auto start = std::chrono::steady_clock::now();
        ASys.URLData(server.Host().c_str(), "p");
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(ASys.URLGrabbed, c.payload);
        EXPECT_LT(seconds, HangBoundSeconds);
        EXPECT_EQ(server.Request(), Request(server.Host(), "p"));   // the client left; the hold ended
    }
}

// A server on the IPv6 loopback, its address in brackets; the Host header carries it as written.
TEST(HttpClient, AServerOnTheIPv6LoopbackIsReachedByItsAddressInBrackets) {
    LoopbackServer server(4, AF_INET6);
    ASSERT_GT(server.port, 0) << "no socket on ::1";
    const std::string host = "[::1]:" + std::to_string(server.port);
    ASSERT_EQ(server.Host(), host);
    server.Reply({Head + Open + "six" + Close});
    ASys.URLData(host.c_str(), "p");
    EXPECT_EQ(server.Request(), Request(host, "p"));
    EXPECT_EQ(ASys.URLGrabbed, "six");

    server.Reply({Head + Open + "old six" + Close});
    ASys.URLDataOld(host.c_str(), "q");
    EXPECT_EQ(server.Request(), Request(host, "q"));
    EXPECT_EQ(ASys.URLGrabbed, "old six");

    // Refused on ::1: the same line as on IPv4, the payload kept.
    const int closed = [] {
        LoopbackServer gone(4, AF_INET6);
        return gone.port;
    }();
    const std::string refused = "[::1]:" + std::to_string(closed);
    ASys.URLGrabbed = "previous";
    EXPECT_EQ(Printed([&] { ASys.URLData(refused.c_str(), "p"); }), "\n-=Unable to Connect=-\n");
    EXPECT_EQ(ASys.URLGrabbed, "previous");
}

TEST(HostSplit, NamesAndBracketedAddressesWithOrWithoutAPort) {
    struct Case {
        const char* host;
        bool taken;
        const char* name;
        const char* port;
    };
    const Case cases[] = {
        {"scores.example", true, "scores.example", "80"},
        {"localhost:8556", true, "localhost", "8556"},
        {"127.0.0.1:1", true, "127.0.0.1", "1"},
        {"[::1]:8556", true, "::1", "8556"},
        {"[::1]", true, "::1", "80"},
        {"[fe80::1%lo]:65535", true, "fe80::1%lo", "65535"},
        {"[scores.example]:9", true, "scores.example", "9"},
        {"", false, "", ""},
        {":8556", false, "", ""},
        {"localhost:", false, "", ""},
        {"localhost:0", false, "", ""},
        {"localhost:65536", false, "", ""},
        {"localhost:123456", false, "", ""},
        {"localhost:80a", false, "", ""},
        {"[::1", false, "", ""},
        {"[]", false, "", ""},
        {"[]:8556", false, "", ""},
        {"[::1]:", false, "", ""},
        {"[::1]8556", false, "", ""},
        {"[::1]:http", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        std::string name, port;
        ASSERT_EQ(SplitHost(c.host, name, port), c.taken);
        if (!c.taken) continue;
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(port, c.port);
    }
}

// The client keeps at most 64 KiB of a reply, however much the server sends.
TEST(HttpClient, ALongReplyIsCutAt64KiB) {
    LoopbackServer server;
    std::vector<std::string> pieces = {Head + Open};
    for (int i = 0; i < 10; ++i) pieces.push_back(std::string(20000, 'p'));
    server.Reply(pieces);
    ASys.URLData(server.Host().c_str(), "big");
    EXPECT_EQ(ASys.URLGrabbed, std::string(ReplyLimit - Head.size() - Open.size(), 'p'));
}

// Failures before the request goes out keep the previous payload.
TEST(HttpClient, FailuresToConnectKeepThePreviousPayload) {
    struct Case {
        const char* name;
        std::string host;
        const char* printed;
    };
    const Case cases[] = {
        {"refused", "127.0.0.1:" + std::to_string(ClosedPort()), "\n-=Unable to Connect=-\n"},
        {"unknown host", UnknownHost, ""},
        {"unknown host with a port", UnknownHost + ":8556", ""},
        {"port out of range", "127.0.0.1:99999", ""},
        {"port not a number", "127.0.0.1:http", ""},
        {"no host", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.URLGrabbed = "previous";
        EXPECT_EQ(Printed([&] { ASys.URLData(c.host.c_str(), "p"); }), c.printed);
        EXPECT_EQ(ASys.URLGrabbed, "previous");
    }
}

// A listener whose queue is full drops the connection attempt: the client gives up after its
// wait for the connection instead of hanging.
TEST(HttpClient, AConnectionThatNeverStandsIsGivenUp) {
    LoopbackServer server(0);
    // Fill the listener's queue (it never accepts) until an attempt no longer completes.
    std::vector<int> queued;
    for (int i = 0; i < 8; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(server.port));
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        queued.push_back(fd);
        pollfd waiting{fd, POLLOUT, 0};
        if (poll(&waiting, 1, 300) == 0) break;
    }
    ASys.URLGrabbed = "previous";
    EXPECT_EQ(Printed([&] { ASys.URLData(server.Host().c_str(), "p"); }), "\n-=Unable to Connect=-\n");
    EXPECT_EQ(ASys.URLGrabbed, "previous");
    for (int fd : queued) close(fd);
}

// A server that takes the request and never answers: the client returns after its receive
// timeout with an empty payload (the request went out).
TEST(HttpClient, AServerThatNeverAnswersIsLeftAfterTheReceiveTimeout) {
    LoopbackServer server;
    server.Silent();
    ASys.URLGrabbed = "previous";
    EXPECT_EQ(Printed([&] { ASys.URLData(server.Host().c_str(), "wait"); }), "");
    EXPECT_EQ(ASys.URLGrabbed, "");
    EXPECT_EQ(server.Request(), Request(server.Host(), "wait"));
}

// A server that drips its reply, a byte a second for half a minute, holds the game no longer
// than a silent one: the exchange ends about 5 seconds after the request with the text that
// arrived by then. A reply that comes in slow pieces but whole within that time is kept whole.
TEST(HttpClient, ADrippingServerIsLeftAfterTheReceiveTimeoutWithTheTextSoFar) {
    const std::string early = "first";
    const std::string dripped = "abcdefghijklmnopqrstuvwxyz0123";   // 30 bytes, one a second
    std::vector<std::string> pieces = {Head + Open + early};
    for (char c : dripped) pieces.push_back(std::string(1, c));
    LoopbackServer server;
    server.Reply(pieces, 1000);
    ASys.URLGrabbed = "previous";
    const auto start = std::chrono::steady_clock::now();
    ASys.URLData(server.Host().c_str(), "drip");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 5 seconds and a wide margin for a busy machine, far short of the 30 the drip lasts.
    EXPECT_LT(seconds, 8.0);
    const std::string& got = ASys.URLGrabbed;
    EXPECT_EQ(got.substr(0, early.size()), early);
    EXPECT_LT(got.size(), early.size() + dripped.size());
    EXPECT_EQ(got.substr(early.size()), dripped.substr(0, got.size() - early.size()));   // in order, none lost

    server.Reply({Head + Open, "slow but ", "whole", Close}, 600);
    ASys.URLData(server.Host().c_str(), "slow");
    EXPECT_EQ(ASys.URLGrabbed, "slow but whole");
}

TEST(HttpClient, BlockingConnectOfTheOldClient) {
    LoopbackServer server;
    server.Reply({Head, Open + "old" + Close});
    ASys.URLDataOld(server.Host().c_str(), "q");
    EXPECT_EQ(server.Request(), Request(server.Host(), "q"));
    EXPECT_EQ(ASys.URLGrabbed, "old");

    // A refused connect is reported, and the exchange still empties the payload.
    const std::string refused = "127.0.0.1:" + std::to_string(ClosedPort());
    EXPECT_EQ(Printed([&] { ASys.URLDataOld(refused.c_str(), "q"); }), "Could not connect");
    EXPECT_EQ(ASys.URLGrabbed, "");
}

TEST(GetURL, EscapesTheDataWithTheFrameworksTokens) {
    struct Case {
        const char* name;
        std::string data, sent;
    };
    const Case cases[] = {
        {"space and ampersand", "a b&c", "a*!U!*b*!A!*c"},
        {"every escaped character", "&\\'`\"/>#^{}<|%?+$, ",
         "*!A!**!B!**!C!**!D!**!E!**!F!**!G!**!H!**!I!**!J!**!K!**!L!**!M!**!P!**!Q!**!R!**!S!**!T!**!U!*"},
        {"others pass unchanged", "=:!*[]azAZ09-_.~@;()", "=:!*[]azAZ09-_.~@;()"},
        {"tab and line feed pass unchanged", "a\tb\nc", "a\tb\nc"},
        {"a token passes unchanged", "*!A!*", "*!A!*"},
        {"bytes 128..255 are left out", "a\x80" "b\xC3\xA9" "c\xFF", "abc"},
        {"the data ends at its first zero byte", std::string("ab\0cd", 5), "ab"},
        {"empty", "", ""},
    };
    LoopbackServer server;
    const std::string path = "Scores.php?Game=0556&Score=";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Reply({Head + Open + "reply" + Close});
        EXPECT_EQ(Core.GetURL(server.Host(), path, c.data), "reply");
        EXPECT_EQ(server.Request(), Request(server.Host(), path + c.sent));
    }
    // Host and path are sent as they are.
    server.Reply({Head + Open + Close});
    EXPECT_EQ(Core.GetURL(server.Host(), "a b/c?d=", "e f"), "");
    EXPECT_EQ(server.Request(), Request(server.Host(), "a b/c?d=e*!U!*f"));
}

TEST(GetURL, FailedFetchReturnsWhatTheLastOneLeft) {
    ASys.URLGrabbed = "last";
    EXPECT_EQ(Core.GetURL(UnknownHost, "p", "x"), "last");
}

TEST(ScoreHost, ComesFromTheEnvironmentOrTheDefault) {
    const char* saved = std::getenv(ScoreHostVariable);
    const std::string savedValue = saved ? saved : "";
    struct Case {
        const char* value;   // nullptr: unset
        const char* host;
    };
    const Case cases[] = {
        {nullptr, "localhost:8556"},
        {"", "localhost:8556"},
        {"scores.example", "scores.example"},
        {"127.0.0.1:9000", "127.0.0.1:9000"},
    };
    for (const Case& c : cases) {
        if (c.value)
            setenv(ScoreHostVariable, c.value, 1);
        else
            unsetenv(ScoreHostVariable);
        EXPECT_EQ(Core.ScoreHost(), c.host) << (c.value ? c.value : "unset");
    }
    if (saved)
        setenv(ScoreHostVariable, savedValue.c_str(), 1);
    else
        unsetenv(ScoreHostVariable);
}
