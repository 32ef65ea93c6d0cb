// The local scoreboards: where a run's score enters the Top 5 and the Last 5, board numbers
// outside the table, and the panel beside the difficulty list with its pages, slide and skip.
#include "menu_screens.h"

#include <array>
#include <cmath>

namespace {

using Five = std::array<int, 5>;

// The panel on the fixture's 800-wide screen: centre x 702 fully shown, 946 slid out.
constexpr double PanelShown = 702, PanelHidden = 946;
constexpr int PageLength = 301;   // updates per page

}  // namespace

class ScoreBoards : public MenuScreens {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        Clear();
    }
    // Every board and the online tables empty, the middle difficulty chosen.
    void Clear() {
        std::fill(std::begin(G.ScoreTable), std::end(G.ScoreTable), 0);
        std::fill(std::begin(G.OnlineScore), std::end(G.OnlineScore), 0);
        std::memset(G.OnlineName, 0, sizeof G.OnlineName);
        G.OnlineScoresValid = 0;
        G.Option[OptBoard] = 2;
        G.Score = 0;
    }

    Five Top(int board) const { return Read(board * MyGame::BoardStride); }
    Five Last(int board) const { return Read(board * MyGame::BoardStride + MyGame::LastFive); }
    void SetBoard(int board, const Five& top, const Five& last) {
        std::copy(top.begin(), top.end(), G.ScoreTable + board * MyGame::BoardStride);
        std::copy(last.begin(), last.end(), G.ScoreTable + board * MyGame::BoardStride + MyGame::LastFive);
    }

    // The title's difficulty list with its panel, from the first page, slid out.
    void OpenList() {
        Settle();
        G.GameState = StateMenu;
        G.MenuStage = 0;
        G.MenuCursor = MyGame::CursorStart;
        ClearLatches();
        Step();   // the button row resets the panel
        G.MenuStage = 1;
    }
    // The title of the page the last update drew.
    std::string PageDrawn() const {
        for (const char* title : {"Top Online", "Last 5", "Top 5"})
            if (Drew(title)) return title;
        return "";
    }
    // Runs updates and lists the page titles in the order they were shown.
    std::vector<std::string> Pages(int updates) {
        std::vector<std::string> seen;
        for (int i = 0; i < updates; i++) {
            Step();
            if (seen.empty() || seen.back() != PageDrawn()) seen.push_back(PageDrawn());
        }
        return seen;
    }
    // Centre x of the panel's backing rectangle (the only black one) in the last update.
    double PanelX() const {
        for (int i = 0; i < RecordCount(); i++) {
            const double* r = Record(i);
            if (r[FieldCode] == CmdRect && r[FieldColourA + 1] == 0 && r[FieldColourA + 2] == 0 &&
                r[FieldColourA + 3] == 0)
                return r[FieldX] + rw2;
        }
        return -1;
    }

private:
    Five Read(int first) const {
        Five f;
        std::copy(G.ScoreTable + first, G.ScoreTable + first + 5, f.begin());
        return f;
    }
};

TEST_F(ScoreBoards, ARunEntersTheTopFiveByItsPlaceAndAlwaysTheLastFive) {
    struct Case {
        const char* what;
        Five top, last;
        float score;
        Five topAfter, lastAfter;
    };
    const Five full = {500, 300, 200, 100, 50}, recent = {5, 4, 3, 2, 1};
    const Case cases[] = {
        {"first run on an empty board", {}, {}, 120, {120, 0, 0, 0, 0}, {120, 0, 0, 0, 0}},
        {"a 0 enters only the Last 5", {}, {7, 0, 0, 0, 0}, 0, {}, {0, 7, 0, 0, 0}},
        {"a new best", full, recent, 600, {600, 500, 300, 200, 100}, {600, 5, 4, 3, 2}},
        {"equal to the best goes below it", full, recent, 500, {500, 500, 300, 200, 100}, {500, 5, 4, 3, 2}},
        {"equal in the middle goes below it", full, recent, 200, {500, 300, 200, 200, 100}, {200, 5, 4, 3, 2}},
        {"equal to the fifth stays out", full, recent, 50, full, {50, 5, 4, 3, 2}},
        {"below every place", full, recent, 10, full, {10, 5, 4, 3, 2}},
        {"a fraction above a place beats it", full, recent, 100.5f, {500, 300, 200, 100, 100}, {100, 5, 4, 3, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clear();
        const Five other = {9, 8, 7, 6, 5};
        SetBoard(1, other, other);
        SetBoard(3, other, other);
        SetBoard(2, c.top, c.last);
        G.Score = c.score;
        G.HandleDefaultScoreboards();
        EXPECT_EQ(Top(2), c.topAfter);
        EXPECT_EQ(Last(2), c.lastAfter);
        EXPECT_EQ(Top(1), other);   // the other difficulties' boards are left alone
        EXPECT_EQ(Last(3), other);
    }
}

TEST_F(ScoreBoards, TheChosenDifficultyPicksTheBoard) {
    for (int board = 1; board <= 3; board++) {
        SCOPED_TRACE(board);
        Clear();
        G.Option[OptBoard] = board;
        G.Score = 42;
        G.HandleDefaultScoreboards();
        for (int b = 1; b <= 3; b++) {
            EXPECT_EQ(Top(b)[0], b == board ? 42 : 0);
            EXPECT_EQ(Last(b)[0], b == board ? 42 : 0);
        }
    }
}

TEST_F(ScoreBoards, BoardNumbersOutsideTheTableWriteNothing) {
    const int boards[] = {-1, -1000, 1100, 5000, 2147483647, -2147483647 - 1};
    for (int board : boards) {
        SCOPED_TRACE(board);
        std::fill(std::begin(G.ScoreTable), std::end(G.ScoreTable), 777);
        std::fill(std::begin(G.OnlineScore), std::end(G.OnlineScore), 777);
        G.Option[OptBoard] = board;
        G.Score = 1000;
        G.HandleDefaultScoreboards();
        EXPECT_TRUE(std::all_of(std::begin(G.ScoreTable), std::end(G.ScoreTable), [](int v) { return v == 777; }));
        EXPECT_TRUE(std::all_of(std::begin(G.OnlineScore), std::end(G.OnlineScore), [](int v) { return v == 777; }));
        G.DisplayScoreboard();   // reads nothing outside either: only the panel and its title
    }
    // The last board that fits still records.
    const int lastBoard = (MyGame::ScoreEntries - MyGame::BoardStride) / MyGame::BoardStride;
    G.Option[OptBoard] = lastBoard;
    G.HandleDefaultScoreboards();
    EXPECT_EQ(Top(lastBoard)[0], 1000);
    EXPECT_EQ(Last(lastBoard)[0], 1000);
}

TEST_F(ScoreBoards, PagesCycleAndSkipTopOnlineWithoutValidOnlineScores) {
    std::strcpy(G.OnlineName[40], "Somebody");   // online tables filled by an earlier exchange
    G.OnlineScore[40] = 900;
    struct Case { int valid; std::vector<std::string> pages; };
    const Case cases[] = {
        {0, {"Top 5", "Last 5", "Top 5", "Last 5"}},
        {1, {"Top 5", "Last 5", "Top Online", "Top 5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.valid);
        G.OnlineScoresValid = c.valid;
        OpenList();
        EXPECT_EQ(Pages(4 * PageLength - 10), c.pages);
    }
}

TEST_F(ScoreBoards, EachPageShowsItsRowsOfTheChosenBoard) {
    G.Option[OptBoard] = 3;
    SetBoard(3, {500, 400, 300, 200, 100}, {11, 22, 33, 44, 55});
    SetBoard(2, {999, 0, 0, 0, 0}, {888, 0, 0, 0, 0});
    std::strcpy(G.OnlineName[60], "Ada");
    std::strcpy(G.OnlineName[64], "Zed");
    G.OnlineScore[60] = 7000;
    G.OnlineScore[64] = 6000;
    G.OnlineScoresValid = 1;
    OpenList();

    Step();
    EXPECT_EQ(PageDrawn(), "Top 5");
    for (const char* row : {"00000500", "00000400", "00000300", "00000200", "00000100"}) EXPECT_TRUE(Drew(row)) << row;
    EXPECT_FALSE(Drew("00000999"));
    for (int i = 0; i < PageLength; i++) Step();
    EXPECT_EQ(PageDrawn(), "Last 5");
    for (const char* row : {"00000011", "00000022", "00000033", "00000044", "00000055"}) EXPECT_TRUE(Drew(row)) << row;
    EXPECT_FALSE(Drew("00000888"));
    for (int i = 0; i < PageLength; i++) Step();
    EXPECT_EQ(PageDrawn(), "Top Online");
    for (const char* row : {"Ada", "00007000", "Zed", "00006000"}) EXPECT_TRUE(Drew(row)) << row;
}

TEST_F(ScoreBoards, ThePanelSlidesInAndOutUnlessMotionIsReduced) {
    struct Case { int lessMotion; int updates; double x; };
    const Case cases[] = {
        {0, 1, PanelHidden - 64 - 16}, {0, 12, PanelShown}, {0, 200, PanelShown},
        {0, 280, PanelShown + 10 * 16}, {0, 300, PanelHidden}, {0, 300 + 16, PanelShown},
        {1, 1, PanelShown}, {1, 280, PanelShown}, {1, 300, PanelShown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "less motion " << c.lessMotion << " after " << c.updates);
        G.Option[OptLessMotion] = c.lessMotion;
        OpenList();
        for (int i = 0; i < c.updates; i++) Step();
        EXPECT_DOUBLE_EQ(PanelX(), c.x);
    }
}

TEST_F(ScoreBoards, AHeldPointerKeepsThePanelOutAndItsReleaseTurnsThePage) {
    OpenList();
    for (int i = 0; i < 100; i++) Step();
    MouseAt(600, 100);   // away from the list and its back arrow
    MouseButton(true);
    for (int i = 0; i < 400; i++) Step();
    EXPECT_EQ(PageDrawn(), "Top 5");
    EXPECT_DOUBLE_EQ(PanelX(), PanelHidden);
    MouseButton(false);
    EXPECT_TRUE(StepUntil([&] { return PageDrawn() == "Last 5"; }, 40));
    EXPECT_EQ(G.MenuStage, 1);
}

TEST_F(ScoreBoards, TheFourthButtonTurnsThePageOncePerPress) {
    OpenList();
    for (int i = 0; i < 100; i++) Step();
    Hold(GLFW_KEY_V);
    EXPECT_TRUE(StepUntil([&] { return PageDrawn() == "Last 5"; }, 40));
    for (int i = 0; i < 200; i++) Step();   // still held: the page runs its full length
    EXPECT_EQ(PageDrawn(), "Last 5");
    Hold(GLFW_KEY_V, false);
    Step();
    Hold(GLFW_KEY_V);
    EXPECT_TRUE(StepUntil([&] { return PageDrawn() == "Top 5"; }, 40));
}

TEST_F(ScoreBoards, TheRowOfThisRunsPlaceWobbles) {
    // The panel's rows: numbers 30 below each row's top, which lie 67 apart from 139.5 above the
    // middle of the 600-high screen; online names at the row's top.
    auto rowY = [](int k) { return 300 - 139.5 + 67 * k + 30; };
    SetBoard(2, {500, 300, 200, 100, 50}, {300, 40, 30, 20, 10});
    std::strcpy(G.OnlineName[40], "Best");
    std::strcpy(G.OnlineName[43], "Mine");
    G.OnlineScore[40] = 900;
    G.OnlineScore[43] = 500;   // the player's own best on the online board
    G.OnlineScoresValid = 1;
    struct Case { const char* page; int wobbling; };   // -1: no row wobbles
    const Case cases[] = {{"Top 5", 1}, {"Last 5", -1}, {"Top Online", 3}};
    OpenList();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        ASSERT_TRUE(StepUntil([&] { return PageDrawn() == c.page; }, 2 * PageLength));
        std::array<bool, 5> moved{};
        for (int update = 0; update < 20; update++) {
            Step();
            for (int i = 0; i < RecordCount(); i++) {
                const double* r = Record(i);
                if (r[FieldCode] != CmdImage || r[FieldSlot] != ASys.FontImage || r[FieldX] + rw2 < 600) continue;
                const double y = r[FieldY] + rh2;
                for (int k = 0; k < 5; k++) {
                    const bool nearNumber = std::abs(y - rowY(k)) < 4;
                    const bool nearName = c.page == std::string("Top Online") && std::abs(y - (rowY(k) - 30)) < 4;
                    if ((nearNumber && y != rowY(k)) || (nearName && y != rowY(k) - 30)) moved[k] = true;
                }
            }
        }
        for (int k = 0; k < 5; k++) EXPECT_EQ(moved[k], k == c.wobbling) << "row " << k;
    }
}
