// Tests of the online score exchange: the score record the game sends (read back from the
// request a local one-shot HTTP server receives), the rule that no name means no request,
// and the reading of the server's reply into the online tables, hostile replies included.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "game_fixture.h"

namespace {

constexpr int TestGameVersion = 1;
constexpr int TestBoards = 3;
// Twelve words of letters and digits, like the game's own keyword (not the game's).
constexpr const char* TestKeyword = "Tide9 moss Reef lantern Kelp4 drift Shoal ember 7wave Gull pearl Ox";
constexpr const char* RequestPrefix = "GET /Scores.php?Game=0556&Score=";
constexpr const char* OpenMark = "[-\r\nData-]";
constexpr const char* CloseMark = "[-\r\nEnd-]";

// A TCP socket bound to a free loopback port (not yet listening); -1 on failure.
int BoundLoopbackSocket(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A server on a free loopback port that takes one connection, reads the request head,
// answers with a fixed reply and closes.
class OneShotServer {
public:
    explicit OneShotServer(std::string reply) : reply_(std::move(reply)) {
        int port = 0;
        listener_ = BoundLoopbackSocket(port);
        if (listener_ < 0 || listen(listener_, 1) != 0) return;
        port_ = port;
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotServer() {
        Finish();
        if (listener_ >= 0) close(listener_);
    }
    int Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    // The request head received, and whether a reply went out; both stop the server first.
    const std::string& Request() {
        Finish();
        return request_;
    }
    bool Served() {
        Finish();
        return served_;
    }

private:
    void Serve() {
        pollfd waiting{listener_, POLLIN, 0};
        while (!stop_ && poll(&waiting, 1, 20) == 0) {}
        if (stop_ && !(waiting.revents & POLLIN)) return;
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        char buffer[4096];
        while (request_.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request_.append(buffer, static_cast<std::size_t>(got));
        }
        send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
        close(client);
        served_ = true;
    }

    std::string reply_;
    std::string request_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool served_ = false;

    void Finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
};

// An HTTP reply carrying the payload between the framing marks.
std::string Framed(const std::string& payload) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + std::string(OpenMark) +
           payload + CloseMark;
}

// One board's reply block: the tag, the board number, five entries of name, score and
// two spare fields.
std::string Block(const std::string& tag, int board, const std::string names[5], const int scores[5]) {
    std::string s = tag + "{" + std::to_string(board) + "{";
    for (int k = 0; k < 5; k++) s += names[k] + "{" + std::to_string(scores[k]) + "{{{";
    return s;
}

// A reply board used by several tests, and what the game reads from it.
const std::string Names[5] = {"Alice       ", "Bob", "CAROLINE-99", "", "d"};
const int Scores[5] = {9000, 800, 70, 0, 6};

class OnlineScores : public GameScreen {
public:
    void SetUp() override {
        GameScreen::SetUp();
        G.GameVersion = TestGameVersion;
        G.BoardCount = TestBoards;
        G.SetKeyword(TestKeyword);
        std::memset(G.ScoreTable, 0, sizeof G.ScoreTable);
        std::memset(G.OnlineScore, 0, sizeof G.OnlineScore);
        std::memset(G.OnlineName, 0, sizeof G.OnlineName);
        G.OnlineScoresValid = 0;
        ASys.URLGrabbed.clear();
        // The user id: ABC, DEF, GHI as the six-letter code's numbers.
        G.Option[OptUserDate] = G.SixDigitString(std::string("ABC"));
        G.Option[OptUserTime] = G.SixDigitString(std::string("DEF"));
        G.Option[OptUserRand] = G.SixDigitString(std::string("GHI"));
        SetName(true);
        savedHost = std::getenv("BRINDLEWICK_SCORE_HOST") ? std::getenv("BRINDLEWICK_SCORE_HOST") : "";
    }
    void TearDown() override {
        if (savedHost.empty())
            unsetenv("BRINDLEWICK_SCORE_HOST");
        else
            setenv("BRINDLEWICK_SCORE_HOST", savedHost.c_str(), 1);
        GameScreen::TearDown();
    }

    // A name set in the options (codes "BR" in the first entry), or none at all.
    void SetName(bool set) {
        for (int i = 0; i < 6; i++) G.Option[OptOnlineName + i] = 0;
        if (set) G.Option[OptOnlineName] = 13 | (29 << 8);
    }

    // Runs one exchange against the server; returns the log it printed.
    std::string Exchange(OneShotServer& server) {
        setenv("BRINDLEWICK_SCORE_HOST", server.Host().c_str(), 1);
        testing::internal::CaptureStdout();
        G.SendScores(0);
        return testing::internal::GetCapturedStdout();
    }

    // The score record inside a request: the path after the query key, tokens undone,
    // unscrambled with the game's table.
    std::string RecordOf(const std::string& request) {
        const std::size_t start = std::strlen(RequestPrefix);
        const std::size_t end = request.find(" HTTP/1.1\r\n");
        if (request.compare(0, start, RequestPrefix) != 0 || end == std::string::npos) return "<no request>";
        const std::string escaped = request.substr(start, end - start);
        static const char* const Characters = "&\\'`\"/>#^{}<|%?+$, ";
        static const char* const Letters = "ABCDEFGHIJKLMPQRSTU";
        std::string scrambled;
        for (std::size_t i = 0; i < escaped.size(); i++) {
            const char* letter = escaped.compare(i, 2, "*!") == 0 && i + 5 <= escaped.size()
                                     ? std::strchr(Letters, escaped[i + 2]) : nullptr;
            if (letter && *letter && escaped.compare(i + 3, 2, "!*") == 0) {
                scrambled += Characters[letter - Letters];
                i += 4;
            } else {
                scrambled += escaped[i];
            }
        }
        std::string plain;
        int acc = 0;
        for (std::size_t i = 0; i < scrambled.size(); i++) {
            acc = (G.GameScramble[i % 64] + acc) % 92;
            plain += static_cast<char>(((scrambled[i] - 32 - acc) % 92 + 92) % 92 + 32);
        }
        return plain;
    }

    // The board's Top 5 and Last 5 as they would stand.
    void SetBoard(int board, std::initializer_list<int> top, std::initializer_list<int> last) {
        int k = 0;
        for (int v : top) G.ScoreTable[20 * board + k++] = v;
        k = 5;
        for (int v : last) G.ScoreTable[20 * board + k++] = v;
    }

    std::string savedHost;
};

// The name the request carries for the fixture's name: twelve characters, spaces kept.
const std::string RequestName = "BR          ";

TEST_F(OnlineScores, RequestCarriesTheRecordAsTheGameKeepsIt) {
    struct Case {
        const char* what;
        void (*setBoards)(OnlineScores&);
        const char* boards;
    };
    const Case cases[] = {
        {"empty boards", [](OnlineScores&) {}, "0{0{0{0{0{0{"},
        {"best above 0 and newest 0: last 1",
         [](OnlineScores& t) { t.SetBoard(1, {500, 80}, {0, 500}); }, "500{1{0{0{0{0{"},
        {"every board, large scores",
         [](OnlineScores& t) {
             t.SetBoard(1, {2147483647}, {7});
             t.SetBoard(2, {30, 20}, {20, 30});
             t.SetBoard(3, {1}, {1});
         },
         "2147483647{7{30{20{1{1{"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(G.ScoreTable, 0, sizeof G.ScoreTable);
        c.setBoards(*this);
        OneShotServer server(Framed(""));
        ASSERT_GT(server.Port(), 0);
        const std::string log = Exchange(server);
        ASSERT_TRUE(server.Served());
        EXPECT_NE(log.find("> Sending Highscores\n"), std::string::npos) << log;
        EXPECT_EQ(RecordOf(server.Request()),
                  "ABCDEFGHI{" + RequestName + "{0556{0001{0000{" + c.boards + "Vorn{");
    }
}

TEST_F(OnlineScores, RequestIsOneGetWithHostAndCloseOnly) {
    OneShotServer server(Framed(""));
    Exchange(server);
    const std::string& request = server.Request();
    ASSERT_EQ(request.compare(0, std::strlen(RequestPrefix), RequestPrefix), 0) << request;
    const std::size_t head = request.find(" HTTP/1.1\r\n");
    ASSERT_NE(head, std::string::npos);
    EXPECT_EQ(request.substr(head), " HTTP/1.1\r\nHost: " + server.Host() + "\r\nConnection: close\r\n\r\n");
    // The scrambled record goes out escaped: no blank, brace or other reserved character.
    const std::string record = request.substr(0, head).substr(std::strlen(RequestPrefix));
    EXPECT_EQ(record.find_first_of(" {}&%?#+,"), std::string::npos) << record;
}

TEST_F(OnlineScores, RunsThatEndOnTheBoardSendOnlyNewBests) {
    // Runs on Normal recorded as the return to the title records them: only a new best asks
    // the server, and it carries this run as the best and the previous run as the last.
    struct Case {
        float score;
        const char* boards;   // the record's boards, or nullptr when nothing is sent
    };
    const Case runs[] = {
        {120, "0{0{120{1{0{0{"},     // the first run: its Last 5 is still empty
        {120, nullptr},              // a tie with the best
        {60, nullptr},               // below the best
        {200, "0{0{200{60{0{0{"},
        {0, nullptr},
    };
    G.Option[OptBoard] = 2;
    for (const Case& run : runs) {
        SCOPED_TRACE(run.score);
        G.Score = run.score;
        OneShotServer server(Framed(""));
        setenv("BRINDLEWICK_SCORE_HOST", server.Host().c_str(), 1);
        testing::internal::CaptureStdout();
        G.HandleDefaultScoreboards();
        testing::internal::GetCapturedStdout();
        if (!run.boards) {
            EXPECT_FALSE(server.Served());
            continue;
        }
        ASSERT_TRUE(server.Served());
        EXPECT_EQ(RecordOf(server.Request()),
                  "ABCDEFGHI{" + RequestName + "{0556{0001{0000{" + run.boards + "Vorn{");
    }
}

TEST_F(OnlineScores, UserIdLosesItsBlanks) {
    // A short id leaves blanks in the six-letter code; the record holds the letters only.
    G.Option[OptUserDate] = G.SixDigitString(std::string("AB"));
    G.Option[OptUserTime] = G.SixDigitString(std::string("C"));
    G.Option[OptUserRand] = G.SixDigitString(std::string("DEFGHI"));
    OneShotServer server(Framed(""));
    Exchange(server);
    const std::string record = RecordOf(server.Request());
    EXPECT_EQ(record.substr(0, record.find('{')), "ABCDEFGHI");
}

TEST_F(OnlineScores, NoNameMeansNoRequestAndNoOnlinePage) {
    // An earlier exchange filled the tables; with the name cleared nothing is asked and
    // the online data is no longer valid, while the tables keep their contents.
    G.OnlineScoresValid = 1;
    G.OnlineScore[40] = 900;
    std::strcpy(G.OnlineName[40], "EARLIER");
    SetName(false);
    OneShotServer server(Framed(Block("OnlineScores", 1, Names, Scores)));
    const std::string log = Exchange(server);
    EXPECT_FALSE(server.Served());
    EXPECT_EQ(log.find("Sending Highscores"), std::string::npos) << log;
    EXPECT_EQ(G.OnlineScoresValid, 0);
    EXPECT_EQ(G.OnlineScore[40], 900);
    EXPECT_STREQ(G.OnlineName[40], "EARLIER");

    // Any one code of the twelve counts as a name, the odd ones in the upper byte too.
    G.Option[OptOnlineName + 5] = 1 << 8;
    OneShotServer named(Framed(""));
    Exchange(named);
    EXPECT_TRUE(named.Served());
}

// Reply reading: each case's payload, then what the online tables hold.
struct Entry {
    const char* name;
    int score;
};

class OnlineReply : public OnlineScores {
protected:
    // Fills every online entry with a marker, so untouched entries can be told apart.
    void MarkTables() {
        for (int e = 20; e < 80; e++) {
            G.OnlineScore[e] = -7;
            std::memset(G.OnlineName[e], 0, MyGame::OnlineNameBytes);
            std::strcpy(G.OnlineName[e], "OLD");
        }
    }
    void ExpectBoard(int board, const Entry (&want)[5]) {
        for (int k = 0; k < 5; k++) {
            SCOPED_TRACE("board " + std::to_string(board) + " entry " + std::to_string(k));
            const int e = 20 * board + k;
            EXPECT_STREQ(G.OnlineName[e], want[k].name);
            EXPECT_EQ(G.OnlineScore[e], want[k].score);
            // The name is zero-filled after its end, through the last byte.
            const std::size_t length = std::strlen(G.OnlineName[e]);
            for (std::size_t i = length; i < MyGame::OnlineNameBytes; i++) EXPECT_EQ(G.OnlineName[e][i], 0) << i;
        }
    }
    void ExpectUntouched(int board) {
        const Entry old[5] = {{"OLD", -7}, {"OLD", -7}, {"OLD", -7}, {"OLD", -7}, {"OLD", -7}};
        ExpectBoard(board, old);
    }
};

const Entry Parsed[5] = {{"Alice       ", 9000}, {"Bob", 800}, {"CAROLINE-99", 70}, {"", 0}, {"d", 6}};

TEST_F(OnlineReply, EveryTaggedBlockFillsItsBoard) {
    MarkTables();
    const std::string names3[5] = {"Zed", "Yan", "Xi", "Wu", "Vi"};
    const int scores3[5] = {5, 4, 3, 2, 1};
    OneShotServer server(Framed(Block("OnlineScores", 1, Names, Scores) + Block("OnlineScores", 2, Names, Scores) +
                                Block("OnlineScores", 3, names3, scores3)));
    Exchange(server);
    EXPECT_EQ(G.OnlineScoresValid, 1);
    ExpectBoard(1, Parsed);
    ExpectBoard(2, Parsed);
    ExpectBoard(3, {{"Zed", 5}, {"Yan", 4}, {"Xi", 3}, {"Wu", 2}, {"Vi", 1}});
    // Nothing outside the three boards' Top 5 is written.
    EXPECT_EQ(G.OnlineScore[25], -7);
    EXPECT_EQ(G.OnlineScore[80], 0);
}

TEST_F(OnlineReply, UntaggedShortAndEmptyReplies) {
    struct Case {
        const char* what;
        std::string payload;
        int valid;
        bool board1Parsed, board2Parsed;
    };
    const Case cases[] = {
        {"untagged first block, tagged second", Block("Other", 1, Names, Scores) + Block("OnlineScores", 2, Names, Scores),
         1, false, true},
        {"tag of another case", Block("onlinescores", 1, Names, Scores), 0, false, false},
        {"no blocks tagged", "Error{nothing{here{at{all{", 0, false, false},
        {"ten characters only", "OnlineScor", 0, false, false},
        {"empty payload", "", 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MarkTables();
        OneShotServer server(Framed(c.payload));
        Exchange(server);
        EXPECT_EQ(G.OnlineScoresValid, c.valid);
        if (c.board1Parsed) ExpectBoard(1, Parsed); else ExpectUntouched(1);
        if (c.board2Parsed) ExpectBoard(2, Parsed); else ExpectUntouched(2);
        ExpectUntouched(3);
    }
}

TEST_F(OnlineReply, MissingFieldsReadAsTheMissingMark) {
    MarkTables();
    // Board 1 whole, board 2 cut off after its second entry's name.
    OneShotServer server(Framed(Block("OnlineScores", 1, Names, Scores) + "OnlineScores{2{Eve{55{{{Fay"));
    Exchange(server);
    EXPECT_EQ(G.OnlineScoresValid, 1);
    ExpectBoard(1, Parsed);
    ExpectBoard(2, {{"Eve", 55}, {"Fay", 0}, {"-=+=-", 0}, {"-=+=-", 0}, {"-=+=-", 0}});
    ExpectUntouched(3);
}

TEST_F(OnlineReply, HostileFieldsStayInsideTheirEntries) {
    MarkTables();
    const std::string names[5] = {std::string(5000, 'N'), "TwelveChars!Extra", "tab\there", "\x01\x7f\xff" "ctl", "-1"};
    const std::string head = "OnlineScores{1{";
    std::string payload = head;
    const char* scores[5] = {"99999999999999999999", "-42", "12abc", "abc", " 7"};
    for (int k = 0; k < 5; k++) payload += names[k] + "{" + scores[k] + "{{{";
    OneShotServer server(Framed(payload));
    Exchange(server);
    EXPECT_EQ(G.OnlineScoresValid, 1);
    // Names are cut to twelve characters; bytes the reply scan drops never arrive; numbers
    // read as far as they are decimal and stay within the int range.
    ExpectBoard(1, {{"NNNNNNNNNNNN", 2147483647}, {"TwelveChars!", -42}, {"tabhere", 12}, {"\x7f" "ctl", 0}, {"-1", 7}});
    ExpectUntouched(2);
}

TEST_F(OnlineReply, NoServerLeavesTheTablesAlone) {
    // Nothing listening on the port (it is bound here but never listened on, so no other
    // test can take it): the connection is refused at once and the exchange ends.
    int port = 0;
    const int unused = BoundLoopbackSocket(port);
    ASSERT_GE(unused, 0);
    MarkTables();
    setenv("BRINDLEWICK_SCORE_HOST", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);
    testing::internal::CaptureStdout();
    G.SendScores(0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Sending Highscores"), std::string::npos);
    EXPECT_NE(log.find("-=Unable to Connect=-"), std::string::npos) << log;
    EXPECT_EQ(G.OnlineScoresValid, 0);
    ExpectUntouched(1);
    close(unused);
}

}  // namespace
