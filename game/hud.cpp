// The in-play score display: the eased score, the next place to reach on the local board,
// the online rank once online scores exist, and the row of lives.
#include "MyGame.h"

#include <cmath>

namespace {
constexpr float ScoreEase = 4;      // the shown score closes a quarter of the gap per update
constexpr float ScoreY = 20, RankY = 16, LocalRankDX = 180, OnlineRankDX = -128;
constexpr float RankSize = 0.5f, HudAlpha = 0.8f;
constexpr float LivesSize = 0.6f, LivesAlpha = 0.75f;
constexpr float LivesPitch = 18, LivesHalfPitch = 9, LivesDX = -96, LivesY = 16;
constexpr int LivesFrame = 9;
constexpr int ModeWithLives = 1;

// The index of the place just above score s on a descending board of five entries: the
// highest place the score has not yet beaten (the last place when it beats none), or the
// first place when it beats them all.
template <class Entry> int NextPlace(float s, const Entry* board) {
    int r = MyGame::BoardPlaces - 1;
    for (int k = MyGame::BoardPlaces - 1; k >= 0; k--)
        if (s > board[k]) r = k - 1;
    return r < 0 ? 0 : r;
}
}  // namespace

void MyGame::DefaultScoreDisplay(int mode) {
    const float s = Score;
    const float W = ScreenWidth;
    ResetDraw();
    SetSize(1);
    SetCol(150, 255, 150, HudAlpha);
    if (std::fabs(ShownScore - s) < 1) ShownScore = s;
    ShownScore -= (ShownScore - s) / ScoreEase;
    if (!ScreenshotMode) Text(W / 2, ScoreY, fstr("%08d", static_cast<int>(ShownScore)), AlignCentre);

    // A board number outside the tables (a damaged score file) shows no rank.
    const int first = BoardBase(Option[OptBoard]);
    const bool boardValid = first >= 0;
    SetSize(RankSize);
    if (boardValid) {
        const int r = NextPlace(s, ScoreTable + first);
        SetCol(150, 220, 255, HudAlpha);
        if (!ScreenshotMode)
            Text(W / 2 + LocalRankDX, RankY, fstr("%s %08d", nth(r + 1), ScoreTable[first + r]), AlignCentre);
    }
    if (boardValid && OnlineScoresValid == 1) {
        const int r = NextPlace(s, OnlineScore + first);
        SetCol(255, 220, 150, HudAlpha);
        if (!ScreenshotMode)
            Text(W / 2 + OnlineRankDX, RankY, fstr("%s %08d", OnlineName[first + r], OnlineScore[first + r]),
                 AlignRight);
    }

    if (mode == ModeWithLives && !ScreenshotMode) {
        SetCol(255, 255, 255, LivesAlpha);
        SetSize(LivesSize);
        for (int i = 0; i < Lives; i++)
            DrawImg(ImgOptions, W / 2 - LivesHalfPitch * (Lives - 1) + LivesDX + LivesPitch * i, LivesY, LivesFrame);
    }
}
