// The local scoreboards: each difficulty's Top 5 and Last 5 in ScoreTable, filled at the end
// of every run, and the panel beside the difficulty list that pages through "Top 5",
// "Last 5" and, while the server's scores are at hand, "Top Online".
#include "MyGame.h"

#include <algorithm>

namespace {

constexpr int NewBestReason = 0;          // reason code of the exchange a new best sends

// The panel: 180 x 360, centred vertically, sliding in from the right edge.
constexpr int PageUpdates = 300;          // a page lasts PageUpdates + 1 updates
constexpr int SlideInUntil = 29, SlideOutFrom = 270;
constexpr int SlideStep = 16, SlideShown = -180, SlideHidden = 64;
constexpr float PanelW = 180, PanelH = 360, PanelInset = 8;
constexpr float PanelAlpha = 0.5f;
constexpr float TitleRise = 170;          // page title above the screen's middle
constexpr float RowTop = 139.5f, RowSpacing = 67, NumberDrop = 30;
constexpr float OnlineSize = 0.75f;
constexpr float WobbleX = 4, WobbleY = 3, WobbleRateX = 0.25f, WobbleRateY = 0.4f;
constexpr int LatchSkip = 13;             // KeyLatch slot of the skip input

constexpr const char* PageTitles[] = {"Top 5", "Last 5", "Top Online"};

// Moves entries first .. first + count - 2 down one place; the last one drops out.
void PushDown(int* first, int count) { std::copy_backward(first, first + count - 1, first + count); }

}  // namespace

int MyGame::BoardBase(int board) {
    // A board number from a stored settings file may be anything; never reach past the table.
    if (board < 0 || board > (ScoreEntries - BoardStride) / BoardStride) return -1;
    return board * BoardStride;
}

void MyGame::HandleDefaultScoreboards() {
    const int base = BoardBase(Option[OptBoard]);
    if (base < 0) return;
    int* top = ScoreTable + base;
    int* last = top + LastFive;
    const float s = Score;

    for (int k = 0; k < BoardPlaces; k++) {
        if (s > static_cast<float>(top[k])) {   // equal scores do not beat
            PushDown(top + k, BoardPlaces - k);
            top[k] = static_cast<int>(s);
            if (k == 0) SendScores(NewBestReason);
            break;
        }
    }
    PushDown(last, BoardPlaces);
    last[0] = static_cast<int>(s);
}

void MyGame::DisplayScoreboard() {
    const float w = ScreenWidth, h = ScreenHeight;

    ScoreTimer += 1;
    if (ScoreTimer < 0 || ScoreTimer > PageUpdates) {
        ScoreTimer = 0;
        ScorePage += 1;
    }
    if (ScoreTimer <= SlideInUntil) ScoreSlide -= SlideStep;
    if (ScoreTimer > SlideOutFrom) ScoreSlide += SlideStep;
    ScoreSlide = std::clamp(ScoreSlide, SlideShown, SlideHidden);

    const float x = Option[OptLessMotion] == 1
                        ? w + SlideShown / 2 - PanelInset
                        : static_cast<float>(static_cast<int>(w + PanelW / 2 - PanelInset + ScoreSlide));
    ResetDraw();
    SetCol(0, 0, 0, PanelAlpha);
    Rect(x, h / 2, PanelW, PanelH);
    ResetDraw();
    SetCol(255, 255, 255, 1);
    SetSize(1);

    if (ScorePage > PageOnline || ScorePage < PageTop) ScorePage = PageTop;
    if (ScorePage == PageOnline && OnlineScoresValid == 0) ScorePage = PageTop;
    Text(x, h / 2 - TitleRise, PageTitles[ScorePage], AlignCentre);

    const int base = BoardBase(Option[OptBoard]);
    if (base >= 0) {
        const float right = x + PanelW / 2, left = x - PanelW / 2 + PanelInset;
        const float wobbleX = WobbleX * Sin(Mills() * WobbleRateX);
        const float wobbleY = -WobbleY * Cos(Mills() * WobbleRateY);
        if (ScorePage == PageOnline) SetSize(OnlineSize);
        for (int k = 0; k < BoardPlaces; k++) {
            const float y = h / 2 - RowTop + RowSpacing * k;
            int score;
            bool wobble;
            if (ScorePage == PageTop) {
                score = ScoreTable[base + k];
                wobble = score == ScoreTable[base + LastFive] && score > 0;   // this run's place
            } else if (ScorePage == PageLast) {
                score = ScoreTable[base + LastFive + k];
                wobble = false;
            } else {
                score = OnlineScore[base + k];
                wobble = score == ScoreTable[base] && score > 0;   // the player's best online
            }
            const float dx = wobble ? wobbleX : 0, dy = wobble ? wobbleY : 0;
            if (ScorePage == PageOnline) Text(left + dx, y + dy, OnlineName[base + k]);
            Text(right + dx, y + NumberDrop + dy, fstr("%08d", score), AlignRight);
        }
    }

    // Skipping: a pointer held down keeps the panel slid out; the fourth button turns the page.
    if (MouseAny > 0) {
        KeyLatch[LatchSkip] = 1;
        ScoreTimer = SlideOutFrom;
    }
    if (Joy(InputButton4) < InputReleased && MouseAny == 0) KeyLatch[LatchSkip] = 0;
    if (Joy(InputButton4) > InputPressed && KeyLatch[LatchSkip] == 0) {
        KeyLatch[LatchSkip] = 1;
        ScoreTimer = SlideOutFrom;
    }
}
