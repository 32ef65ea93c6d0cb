// The generated data folder loaded with the system's own loaders: every picture with the cell
// size the game gives it, holding every frame the game draws; every sound effect; the music.
#include <filesystem>
#include <string>
#include <vector>

#include "VornCore.h"
#include "fakes.h"
#include "images_fixtures.h"

namespace {

VornCore Core;

// The pictures the game loads, with their cells and the frames it draws from them.
struct Picture {
    const char* name;
    int cell;
    std::vector<int> frames;
    bool font;
    bool sprites;   // each frame is a sprite of its own (not a piece of one larger picture)
};

std::vector<int> Range(int first, int last) {
    std::vector<int> out;
    for (int f = first; f <= last; ++f) out.push_back(f);
    return out;
}

const std::vector<Picture>& Pictures() {
    static const std::vector<Picture> list = {
        {"entplain.png", 32, Range(0, 126 - 32), true, true},   // glyphs of codes 32..126
        {"VornLogo", 32, Range(0, 624), false, false},          // 25 x 25 pieces of one logo
        {"icons", 64, {0, 1, 3, 4, 5, 8}, false, true},
        {"particles", 32, Range(0, 143), false, true},          // 12 colour groups of 12
        {"options", 32, {0, 1, 2, 3, 6, 7, 8, 9, 10, 11}, false, true},
        {"menu", 504, {0}, false, true},
        {"logo", 1024, {0}, false, true},
        {"gfx", 16, {0, 1, 2, 3, 4, 90, 91}, false, true},
        {"ripple", 128, {0}, false, true},
        {"rippleb", 512, {0}, false, true},
    };
    return list;
}

// Whether the frame's sprite has at least one texel that is not fully transparent.
bool FrameHasPixels(int slot, int frame) {
    const int size = ASys.iFramesSquare[slot];
    const bool sheet = ASys.iFrames[slot] > 1 || iFramesW[slot] != size;
    const int pitch = size + SpritePitchExtra;
    const int x0 = sheet ? (frame % iFramesW[slot]) * pitch + SpriteBorder : 0;
    const int y0 = sheet ? (frame / iFramesW[slot]) * pitch + SpriteBorder : 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (Image[slot][((static_cast<size_t>(y0 + y)) * iSize[slot] + x0 + x) * 4 + 3] != 0) return true;
    return false;
}

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
        ASSERT_TRUE(std::filesystem::is_directory(data))
            << "the generated data folder " << data << " is missing: build the game_data target first";
        ResetFakes();
        Captured([] { ASys.SysInit("data folder"); });
        ResetImageSlots();
        // The home folder is the one that holds Data/556.
        std::snprintf(Core.home, sizeof Core.home, "%s", data.parent_path().parent_path().c_str());
        Core.GameNum = 556;
    }
    void TearDown() override {
        Captured([] {
            Core.StopMusic();
            ASys.Close();
        });
    }
};

TEST_F(DataFolder, EveryPictureLoadsWithTheFramesTheGameDraws) {
    int slot = 0;
    for (const Picture& p : Pictures()) {
        SCOPED_TRACE(p.name);
        ++slot;
        std::string out = Captured([&] {
            if (p.font)
                Core.LoadFont(slot, p.name);
            else
                Core.LoadImg(slot, p.name, p.cell);
        });
        ASSERT_FALSE(HasLogLine(out, "OMGERRORZ")) << out;
        ASSERT_GT(ASys.iFrames[slot], p.frames.back()) << out;
        EXPECT_EQ(ASys.iFramesSquare[slot], p.cell);
        if (!p.sprites) {
            EXPECT_TRUE(FrameHasPixels(slot, 12 * 25 + 12)) << "the centre of the picture is empty";
            continue;
        }
        for (int f : p.frames) {
            if (p.font && f == 0) continue;   // the blank
            EXPECT_TRUE(FrameHasPixels(slot, f)) << "frame " << f << " is empty";
        }
    }
}

TEST_F(DataFolder, EverySoundEffectLoads) {
    for (int n : {1, 2, 3, 4, 5, 95, 98, 99}) {
        SCOPED_TRACE(n);
        SFXData[n][SfxBytes] = 0;
        std::string out = Captured([&] { Core.LoadSFX(n); });
        EXPECT_EQ(out.find("Error Opening Wave"), std::string::npos) << out;
        EXPECT_EQ(out.find("Bad Wave Format"), std::string::npos) << out;
        EXPECT_GT(SFXData[n][SfxBytes], 0) << out;
        ASSERT_EQ(FakeAl.buffers.count(ALbuffer[n]), 1u);
        EXPECT_FALSE(FakeAl.buffers[ALbuffer[n]].data.empty());
    }
}

TEST_F(DataFolder, TheMusicOpensAndStreams) {
    std::string out = Captured([] { Core.PlayMusic("wombats.ogg"); });
    EXPECT_EQ(out.find("Error Opening"), std::string::npos) << out;
    EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
    size_t queued = 0;
    for (unsigned int b : MusicBuffer)
        if (FakeAl.buffers.count(b) && !FakeAl.buffers[b].data.empty()) ++queued;
    EXPECT_GT(queued, 0u) << out;
}

}  // namespace
