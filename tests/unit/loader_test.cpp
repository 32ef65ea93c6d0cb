// The asset loader: 67 updates from launch to the game, every picture and sound in its slot at
// its step, the jingle at step 4, missing and broken files skipped while loading goes on, the
// loading screen's text and logo wave, and the backdrop built from the icon sheet's tile.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "fake_al.h"
#include "game_fixture.h"
#include "images_fixtures.h"

namespace fs = std::filesystem;

namespace {
constexpr int LoadingUpdates = 67;

struct Asset {
    int step;
    int slot;
    bool sound;
    const char* file;   // in the data folder
};
const Asset Assets[] = {
    {1, FontMain, false, "entplain.png"}, {2, ImgVornLogo, false, "VornLogo.png"},
    {3, SfxJingle, true, "audio/95.wav"}, {43, ImgIcons, false, "icons.png"},
    {44, ImgParticles, false, "particles.png"}, {45, SfxSpare, true, "audio/01.wav"},
    {46, ImgOptions, false, "options.png"}, {47, SfxMove, true, "audio/99.wav"},
    {48, SfxConfirm, true, "audio/98.wav"}, {49, ImgMenu, false, "menu.png"},
    {50, ImgLogo, false, "logo.png"}, {51, ImgBackdrop, false, nullptr},
    {60, ImgGfx, false, "gfx.png"}, {61, ImgRipple, false, "ripple.png"},
    {62, SfxGem, true, "audio/02.wav"}, {63, SfxBigGem, true, "audio/03.wav"},
    {64, SfxBlast, true, "audio/04.wav"}, {65, SfxBomb, true, "audio/05.wav"},
    {66, ImgRippleB, false, "rippleb.png"},
};

bool Loaded(const Asset& a) { return a.sound ? SFXData[a.slot][SfxBytes] > 0 : ASys.iFrames[a.slot] != -1; }
}  // namespace

class Loading : public GameScreen {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        savedFont = ASys.FontImage;
        std::snprintf(savedHome, sizeof savedHome, "%s", G.home);
        ASys.iFrames[ASys.FontImage] = -1;
        ResetImageSlots();
        for (const Asset& a : Assets)
            if (a.sound) SFXData[a.slot][SfxBytes] = 0;
        HomeAt(fs::path(BRINDLEWICK_DATA_DIR).parent_path().parent_path());
        rw2 = 400;
        rh2 = 300;
        G.LoadTo = 1;
    }
    void TearDown() override {
        ResetImageSlots();
        GameScreen::TearDown();
        ASys.FontImage = savedFont;
        std::snprintf(G.home, sizeof G.home, "%s", savedHome);
    }
    void HomeAt(const fs::path& home) { std::snprintf(G.home, sizeof G.home, "%s", home.c_str()); }

    // A copy of the generated data folder under a scratch home folder, for the test to damage.
    fs::path CopyOfData() {
        const fs::path home = TmpDir("loader");
        fs::remove_all(home / "Data");
        fs::create_directories(home / "Data");
        fs::copy(BRINDLEWICK_DATA_DIR, home / "Data" / "556", fs::copy_options::recursive);
        return home;
    }

    // Runs loading updates until loading ends; the number of updates it took.
    int LoadAll() {
        int updates = 0;
        while (G.LoadTo != 0 && updates < 200) {
            Update();
            updates++;
        }
        return updates;
    }

    int SoundsPlayed() const {
        int n = 0;
        for (const auto& s : FakeAl.sources) n += s.second.plays;
        return n;
    }

    std::vector<const double*> Images(int slot) const {
        std::vector<const double*> out;
        for (int i = 0; i < RecordCount(); i++)
            if (Record(i)[FieldCode] == CmdImage && Record(i)[FieldSlot] == slot) out.push_back(Record(i));
        return out;
    }

    // One update, its log lines kept out of the test's output.
    void Update() {
        testing::internal::CaptureStdout();
        Step();
        log += testing::internal::GetCapturedStdout();
    }

    int savedFont = 0;
    char savedHome[sizeof(VornCore::home)] = "";
    std::string log;
};

TEST_F(Loading, EveryAssetLandsInItsSlotAtItsStepIn67Updates) {
    for (int update = 1; update <= LoadingUpdates; update++) {
        SCOPED_TRACE(update);
        ASSERT_EQ(G.LoadTo, update);
        Update();
        for (const Asset& a : Assets) ASSERT_EQ(Loaded(a), a.step <= update) << "slot " << a.slot;
        ASSERT_GT(RecordCount(), 0) << "the loading screen is drawn";
    }
    EXPECT_EQ(G.LoadTo, 0);
    EXPECT_EQ(ASys.FontImage, FontMain);
    EXPECT_EQ(ASys.iFramesSquare[ImgGfx], 16);
    EXPECT_EQ(ASys.iFramesSquare[ImgLogo], 1024);
    EXPECT_EQ(iSize[ImgBackdrop], 1024);
}

TEST_F(Loading, TheBackdropIsTheIconSheetsTileRepeated) {
    LoadAll();
    const int cell = ASys.iFramesSquare[ImgIcons], pitch = cell + SpritePitchExtra;
    const int sx = (8 % iFramesW[ImgIcons]) * pitch + SpriteBorder, sy = (8 / iFramesW[ImgIcons]) * pitch + SpriteBorder;
    // Texels the tile covers are copied; fully transparent ones leave the cleared buffer.
    int covered = 0;
    for (int tile : {0, 37, 255}) {
        const int tx = (tile % 16) * 64, ty = (tile / 16) * 64;
        for (int y = 0; y < cell; y++)
            for (int x = 0; x < cell; x++) {
                const unsigned char* src = &Image[ImgIcons][(static_cast<size_t>(sy + y) * iSize[ImgIcons] + sx + x) * 4];
                const unsigned char* dst = &Image[ImgBackdrop][(static_cast<size_t>(ty + y) * 1024 + tx + x) * 4];
                const std::vector<int> want = src[3] ? std::vector<int>(src, src + 4) : std::vector<int>(4, 0);
                covered += src[3] != 0;
                ASSERT_EQ(std::vector<int>(dst, dst + 4), want) << x << "," << y;
            }
    }
    EXPECT_GT(covered, 300);
}

TEST_F(Loading, TheJinglePlaysAtStepFourAtPitchOne) {
    for (int update = 1; update <= 3; update++) Update();
    EXPECT_EQ(SoundsPlayed(), 0);
    Update();
    EXPECT_EQ(SoundsPlayed(), 1);
    EXPECT_EQ(ALsourcebuffer[ALChannel], SfxJingle);
    EXPECT_EQ(FakeAl.sources.at(ALsource[ALChannel]).pitch, 1);
    for (int update = 5; update <= LoadingUpdates; update++) Update();
    EXPECT_EQ(SoundsPlayed(), 1) << "nothing else sounds while loading";
}

TEST_F(Loading, MissingAndBrokenFilesAreSkippedAndLoadingGoesOn) {
    const fs::path home = CopyOfData();
    const fs::path data = home / "Data" / "556";
    fs::remove(data / "particles.png");
    fs::remove(data / "audio" / "02.wav");
    std::ofstream(data / "gfx.png", std::ios::binary | std::ios::trunc) << "not a picture";
    std::ofstream(data / "audio" / "99.wav", std::ios::binary | std::ios::trunc) << "RIFF";
    HomeAt(home);
    EXPECT_EQ(LoadAll(), LoadingUpdates);
    for (const Asset& a : Assets) {
        SCOPED_TRACE(a.slot);
        const bool damaged = a.file && (std::string(a.file) == "particles.png" || std::string(a.file) == "gfx.png" ||
                                        std::string(a.file) == "audio/02.wav" || std::string(a.file) == "audio/99.wav");
        EXPECT_EQ(Loaded(a), !damaged);
    }
    // The game goes on: the next updates run the state machine, not the loader.
    Update();
    Update();
    EXPECT_EQ(G.LoadTo, 0);
}

TEST_F(Loading, WithEveryFileMissingTheLoadingScreenStillRuns67Updates) {
    const fs::path home = TmpDir("loader");
    fs::remove_all(home / "Data");
    HomeAt(home);
    int drawn = 0;
    for (int update = 1; update <= LoadingUpdates; update++) {
        Update();
        drawn += RecordCount() > 0;
    }
    EXPECT_EQ(G.LoadTo, 0);
    EXPECT_EQ(drawn, LoadingUpdates);
    for (const Asset& a : Assets) {
        if (a.file) {
            EXPECT_FALSE(Loaded(a)) << a.file;
        }
    }
}

TEST_F(Loading, TheLoadingScreenShowsItsTextAndBuildsTheLogoInAWave) {
    Update();
    EXPECT_TRUE(Drew("Loading...")) << "the font loaded by step 1 already writes it";
    // Behind it an opaque gradient from (40, 0, 80) at the top to (80, 0, 40) at the bottom.
    ASSERT_EQ(Record(0)[FieldCode], CmdRect);
    EXPECT_EQ(std::vector<double>(Record(0) + FieldColourB, Record(0) + FieldColourB + 4),
              (std::vector<double>{255, 40, 0, 80}));
    EXPECT_EQ(std::vector<double>(Record(0) + FieldColourA, Record(0) + FieldColourA + 4),
              (std::vector<double>{255, 80, 0, 40}));
    EXPECT_EQ(std::vector<float>(ASys.DrawSet + DsClearNow, ASys.DrawSet + DsClearNow + 3),
              (std::vector<float>{40, 0, 80}));
    EXPECT_EQ(Images(FontMain)[0][FieldColourA], 255);
    for (int update = 2; update <= 4; update++) {
        Update();
        EXPECT_TRUE(Images(ImgVornLogo).empty()) << update;
    }
    Update();   // step 5: LoadTo 6, the top-left cells reach phase 30
    auto cells = Images(ImgVornLogo);
    ASSERT_EQ(cells.size(), 28u) << "the cells with i + j <= 6";
    EXPECT_EQ(cells[0][FieldFrame], 0);
    const double s = std::sin(36 * 0.0174532925);
    EXPECT_NEAR(cells[0][FieldX] + rw2, 200, 1e-3);
    EXPECT_NEAR(cells[0][FieldY] + rh2, 300 - 400 * s, 1e-2);
    EXPECT_NEAR(cells[0][FieldW] * ViewScale, s, 1e-5);

    while (G.LoadTo < 31) Update();
    cells = Images(ImgVornLogo);
    ASSERT_EQ(cells.size(), 625u) << "from L = 31 every cell has settled";
    for (int n = 0; n < 625; n++) {
        const double* c = cells[n];
        ASSERT_EQ(c[FieldFrame], n);
        ASSERT_NEAR(c[FieldX] + rw2, 200 + 16 * (n % 25), 1e-3);
        ASSERT_NEAR(c[FieldY] + rh2, 100 + 16 * (n / 25), 1e-3);
        ASSERT_NEAR(c[FieldW] * ViewScale, 0.5, 1e-6);
    }
    while (G.LoadTo < 68 && G.LoadTo != 0) Update();
    EXPECT_NEAR(Images(FontMain)[0][FieldColourA], (1.5 - 68 / 60.0) * 255, 0.5) << "the text fades as loading ends";
}

TEST_F(Loading, TheBackdropScrollsOneUnitEvery32Milliseconds) {
    ASys.iFrames[ImgBackdrop] = 1;
    struct Case { int mills; int offset; };
    for (const Case& c : {Case{2048, 0}, Case{4095, 63}, Case{4096, 0}, Case{2048 + 32 * 10, 10}}) {
        SCOPED_TRACE(c.mills);
        Now = GameStartTime + c.mills;
        ASys.DrawTo = 0;
        G.AddPlatBG();
        ASSERT_EQ(ASys.DrawTo, 2);
        const double* first = ASys.Draw;
        const double* second = ASys.Draw + DrawFields;
        EXPECT_NEAR(first[FieldY] + rh2, 300 - c.offset - 512, 1e-3);
        EXPECT_NEAR(second[FieldY] + rh2, 300 - c.offset + 512, 1e-3);
        EXPECT_NEAR(first[FieldX] + rw2, 400, 1e-3);
        EXPECT_NEAR(first[FieldColourA], 0.3 * 255, 0.01);
    }
    ASys.DrawTo = 0;
}

TEST_F(Loading, TheBackdropsClearColourTurnsOneDegreeOfHueEvery64Milliseconds) {
    ASys.iFrames[ImgBackdrop] = 1;
    struct Case { int mills; float hue; };
    for (const Case& c : {Case{2048, 32}, Case{2111, 32}, Case{2112, 33}, Case{64 * 200 + 63, 200}}) {
        SCOPED_TRACE(c.mills);
        G.SetCLSRot(c.hue, 0, 50);
        const std::vector<float> want(ASys.DrawSet + DsClearNow, ASys.DrawSet + DsClearNow + 3);
        G.SetCLSRot(c.hue + 90, 0, 50);
        Now = GameStartTime + c.mills;
        G.AddPlatBG();
        EXPECT_EQ(std::vector<float>(ASys.DrawSet + DsClearNow, ASys.DrawSet + DsClearNow + 3), want);
    }
    ASys.DrawTo = 0;
}
