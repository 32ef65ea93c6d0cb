// The in-play score display: the eased score, the next local place to reach, the online rank
// once online scores are valid, the lives row, the screenshot mode, and a damaged board number.
#include <cstring>

#include "play_fixture.h"

class Hud : public PlayScreen {
protected:
    static constexpr int Board = 2, First = 20 * Board;

    void SetUp() override {
        PlayScreen::SetUp();
        G.Option[OptBoard] = Board;
        const int top[] = {500, 400, 300, 200, 100};
        std::copy(top, top + 5, G.ScoreTable + First);
        const int online[] = {900, 800, 700, 600, 500};
        const char* names[] = {"Ada", "Bo", "Cy", "Di", "Ed"};
        for (int k = 0; k < 5; k++) {
            G.OnlineScore[First + k] = online[k];
            std::memset(G.OnlineName[First + k], 0, MyGame::OnlineNameBytes);
            std::strcpy(G.OnlineName[First + k], names[k]);
        }
        G.Lives = 3;
    }
    void TearDown() override {
        std::fill(G.ScoreTable + First, G.ScoreTable + First + 5, 0);
        G.OnlineScoresValid = 0;
        PlayScreen::TearDown();
    }
    // One HUD draw at the score; the records are handed over to DrawR.
    void Show(float score, int mode = 1) {
        G.Score = score;
        G.ShownScore = score;
        ASys.DrawTo = 0;
        G.DefaultScoreDisplay(mode);
        G.BufferGame();
    }
};

TEST_F(Hud, TheShownScoreClosesAQuarterOfTheGapAndSnapsWithinOne) {
    struct Case { float shown, score, want; const char* text; };
    const Case cases[] = {
        {0, 100, 25, "00000025"},      {25, 100, 43.75f, "00000043"}, {99.5f, 100, 100, "00000100"},
        {100.6f, 100, 100, "00000100"}, {200, 100, 175, "00000175"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        G.Score = c.score;
        G.ShownScore = c.shown;
        ASys.DrawTo = 0;
        G.DefaultScoreDisplay(1);
        G.BufferGame();
        EXPECT_FLOAT_EQ(G.ShownScore, c.want);
        EXPECT_TRUE(Drew(c.text)) << DrawnText();
    }
}

TEST_F(Hud, TheNextLocalPlaceIsTheOneJustAboveTheScore) {
    struct Case { float score; const char* text; };
    const Case cases[] = {
        {0, "5th 00000100"},   {150, "4th 00000200"}, {300, "3rd 00000300"},
        {301, "2nd 00000400"}, {450, "1st 00000500"}, {600, "1st 00000500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.score);
        Show(c.score);
        EXPECT_TRUE(Drew(c.text)) << DrawnText();
    }
    std::fill(G.ScoreTable + First, G.ScoreTable + First + 5, 0);
    Show(0);
    EXPECT_TRUE(Drew("5th 00000000")) << "an empty board is not beaten by 0";
    Show(10);
    EXPECT_TRUE(Drew("1st 00000000"));
}

TEST_F(Hud, TheOnlineRankShowsOnlyOnceOnlineScoresAreValid) {
    Show(650);
    EXPECT_FALSE(Drew("Cy")) << DrawnText();
    G.OnlineScoresValid = 1;
    struct Case { float score; const char* text; };
    for (const Case& c : {Case{0, "Ed 00000500"}, Case{650, "Cy 00000700"}, Case{1000, "Ada 00000900"}}) {
        SCOPED_TRACE(c.score);
        Show(c.score);
        EXPECT_TRUE(Drew(c.text)) << DrawnText();
    }
    // Right-aligned 128 units left of the middle: its last glyph sits just before that edge.
    const auto glyphs = Images(FontMain);
    double rightmost = -1e9;
    for (const double* g : glyphs)
        if (ScreenY(g) == 16 && ScreenX(g) < 400) rightmost = std::max<double>(rightmost, ScreenX(g));
    EXPECT_NEAR(rightmost, 272, 12);
}

TEST_F(Hud, TheLivesRowAndTheScreenshotMode) {
    Show(0, 1);
    auto lives = Images(ImgOptions, 9);
    ASSERT_EQ(lives.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_FLOAT_EQ(ScreenX(lives[i]), 286 + 18 * i);
        EXPECT_FLOAT_EQ(ScreenY(lives[i]), 16);
        EXPECT_FLOAT_EQ(SizeOf(lives[i]), 0.6f);
        EXPECT_NEAR(lives[i][FieldColourA], 0.75 * 255, 0.01);
    }
    Show(0, 0);
    EXPECT_TRUE(Images(ImgOptions).empty()) << "mode 0 has no lives row";
    EXPECT_TRUE(Drew("00000000"));
    G.ScreenshotMode = 1;
    G.OnlineScoresValid = 1;
    Show(0, 1);
    EXPECT_EQ(RecordCount(), 0) << "nothing of the HUD in screenshot mode";
}

TEST_F(Hud, ABoardNumberOutsideTheTablesShowsNoRank) {
    for (int board : {-1, 0, 5000, 1 << 30}) {
        SCOPED_TRACE(board);
        G.Option[OptBoard] = board;
        G.OnlineScoresValid = 1;
        Show(123);
        EXPECT_TRUE(Drew("00000123"));
        if (board == 0) continue;   // board 0 lies inside the tables
        EXPECT_FALSE(Drew("th ")) << DrawnText();
        EXPECT_FALSE(Drew("st ")) << DrawnText();
    }
}
