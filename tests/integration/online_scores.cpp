// The online score exchange end to end: the game's SendScores against a real brindlewick-scores
// started here on a free loopback port with a scratch database. The server must accept the
// record, store it, and the game must read its answer into the online tables.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MyGame.h"
#include "game_client.h"
#include "score_protocol.h"

extern char** environ;

namespace {

constexpr int StartWaitMs = 30000;
constexpr const char* ListeningLine = "Listening on 127.0.0.1:";

// brindlewick-scores as a child process, its output going to a file in the scratch folder.
class ScoreServerProcess {
public:
    explicit ScoreServerProcess(const std::string& folder) : logPath_(folder + "/server.log") {
        const std::string db = folder + "/scores.db";
        std::vector<std::string> args = {BRINDLEWICK_SCORES_EXE, "--host", "127.0.0.1", "--port", "0", "--db", db};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        dbPath_ = db;
    }
    ~ScoreServerProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    // The port from the server's "Listening on" line; -1 when it does not come in time.
    int WaitForPort() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(StartWaitMs);
        while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
            const std::string log = Log();
            const std::size_t at = log.find(ListeningLine);
            if (at != std::string::npos && log.find('\n', at) != std::string::npos)
                return std::atoi(log.c_str() + at + std::strlen(ListeningLine));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    std::string Log() const {
        std::ifstream in(logPath_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    const std::string& Database() const { return dbPath_; }

private:
    pid_t pid_ = -1;
    std::string logPath_, dbPath_;
};

class OnlineRoundTrip : public ::testing::Test {
protected:
    MyGame& G = ThisGame;

    void SetUp() override {
        ASSERT_TRUE(folder.Made());
        server = std::make_unique<ScoreServerProcess>(folder.Path());
        port = server->WaitForPort();
        ASSERT_GT(port, 0) << server->Log();
        setenv("BRINDLEWICK_SCORE_HOST", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);

        // The game as launch leaves it: its number, version, board count and keyword.
        G.SetNum(GameNumber);
        G.GameVersion = 1;
        G.BoardCount = 3;
        G.SetKeyword(scores::BrindlewickKeyword);
        std::memset(G.ScoreTable, 0, sizeof G.ScoreTable);
        std::memset(G.OnlineScore, 0, sizeof G.OnlineScore);
        std::memset(G.OnlineName, 0, sizeof G.OnlineName);
        std::fill(G.Option, G.Option + OptionCount, 0);
        G.Option[OptOnlineName] = 13 | (29 << 8);   // the online name "BR"
        PlayAs("BRINDLEWICKPLAYER");
    }

    // The user id of the player, as its six-letter-code option numbers.
    void PlayAs(const std::string& id) {
        G.Option[OptUserDate] = G.SixDigitString(id.substr(0, 6));
        G.Option[OptUserTime] = G.SixDigitString(id.size() > 6 ? id.substr(6, 6) : "");
        G.Option[OptUserRand] = G.SixDigitString(id.size() > 12 ? id.substr(12, 6) : "");
    }

    // One exchange; returns what the game logged.
    std::string Send() {
        testing::internal::CaptureStdout();
        G.SendScores(0);
        return testing::internal::GetCapturedStdout();
    }

    long long Count(const std::string& sql) { return scores::QueryCount(server->Database(), sql); }

    scores::TempFolder folder;
    std::unique_ptr<ScoreServerProcess> server;
    int port = -1;
};

TEST_F(OnlineRoundTrip, NewBestIsStoredAndTheReplyFillsTheOnlineTables) {
    const std::string name = "BR          ";   // the name set up, as twelve characters
    // Easy: a first run of 300 (its last goes out as 1); Normal: 120 twice; Hard: never played.
    G.ScoreTable[20] = 300;
    G.ScoreTable[40] = 120;
    G.ScoreTable[45] = 120;
    const std::string log = Send();
    EXPECT_NE(log.find("Sending Highscores"), std::string::npos) << log;

    EXPECT_EQ(G.OnlineScoresValid, 1) << server->Log();
    EXPECT_EQ(std::string(G.OnlineName[20]), name);
    EXPECT_EQ(G.OnlineScore[20], 300);
    EXPECT_EQ(std::string(G.OnlineName[40]), name);
    EXPECT_EQ(G.OnlineScore[40], 120);
    // Places nobody holds come back empty, and so does the unplayed board.
    for (int e : {21, 24, 41, 60, 64}) {
        SCOPED_TRACE(e);
        EXPECT_STREQ(G.OnlineName[e], "");
        EXPECT_EQ(G.OnlineScore[e], 0);
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM best_scores"), 2);
    EXPECT_EQ(Count("SELECT score FROM best_scores WHERE board = 1"), 300);
    EXPECT_EQ(Count("SELECT score FROM best_scores WHERE board = 2"), 120);

    // A second player beats the first on Easy: the reply ranks them both.
    PlayAs("SECONDPLAYER");
    G.ScoreTable[20] = 450;
    Send();
    EXPECT_EQ(G.OnlineScoresValid, 1);
    EXPECT_EQ(G.OnlineScore[20], 450);
    EXPECT_EQ(G.OnlineScore[21], 300);
    EXPECT_EQ(G.OnlineScore[40], 120);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM players"), 2);
    EXPECT_NE(server->Log().find(" 200 stored"), std::string::npos) << server->Log();
}

TEST_F(OnlineRoundTrip, RefusedRecordLeavesTheTablesAsTheyWere) {
    // Without a user id the server refuses the record: no payload, so nothing changes.
    G.OnlineScore[20] = 77;
    std::strcpy(G.OnlineName[20], "KEPT");
    ASys.URLGrabbed.clear();
    PlayAs("");
    G.ScoreTable[20] = 300;
    Send();
    EXPECT_EQ(G.OnlineScoresValid, 0);
    EXPECT_EQ(G.OnlineScore[20], 77);
    EXPECT_STREQ(G.OnlineName[20], "KEPT");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM best_scores"), 0);
    EXPECT_NE(server->Log().find(" 400 refused: bad user id"), std::string::npos) << server->Log();
}

}  // namespace
