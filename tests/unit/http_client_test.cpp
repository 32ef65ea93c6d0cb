// The HTTP client against a stand-in server on a free loopback port: the request bytes, the
// payload between the framing delimiters in one piece or split over many, replies without a
// delimiter, dropped bytes, the 64 KiB cut, a server that never answers or drips its reply, a
// connection that never stands, a refused one, an unknown host; the core's escaping of the score
// data and the configured score server.
#include <gtest/gtest.h>

#include <chrono>
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

std::string Request(const std::string& host, const std::string& path) {
    return "GET /" + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

// Runs f and returns what it printed on standard output.
std::string Printed(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
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
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::string payload;
    };
    const Case cases[] = {
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
    LoopbackServer server;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.URLGrabbed = "stale";
        server.Reply(c.pieces);
        ASys.URLData(server.Host().c_str(), "p");
        EXPECT_EQ(ASys.URLGrabbed, c.payload);
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
