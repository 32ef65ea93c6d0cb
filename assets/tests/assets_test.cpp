// assets_test.cpp - checks the generated data folder: every picture decodes with LodePNG
// at its sheet size with the frames the game draws filled in, glyphs sit in their advance
// boxes, the WAV files have the layout the loader reads, the music loops without a gap,
// and a second generation gives the same bytes.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>
#include <gtest/gtest.h>
#include <lodepng.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gen.h"

namespace {

const std::string DataDir = BW_DATA_DIR;
const std::string FontPath = BW_FONT_PATH;

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Picture {
    std::vector<unsigned char> rgba;
    unsigned w = 0, h = 0;
    unsigned alpha(unsigned x, unsigned y) const { return rgba[(static_cast<size_t>(y) * w + x) * 4 + 3]; }
};

Picture load(const bw::PictureSpec& spec) {
    Picture p;
    unsigned error = lodepng::decode(p.rgba, p.w, p.h, DataDir + "/" + spec.file);
    EXPECT_EQ(error, 0u) << spec.file << ": " << lodepng_error_text(error);
    return p;
}

// Visible pixels in one cell of a sheet.
int inkInCell(const Picture& p, const bw::PictureSpec& spec, int frame) {
    int cx = (frame % spec.columns) * spec.cell, cy = (frame / spec.columns) * spec.cell;
    int count = 0;
    for (int y = 0; y < spec.cell; ++y)
        for (int x = 0; x < spec.cell; ++x)
            if (p.alpha(static_cast<unsigned>(cx + x), static_cast<unsigned>(cy + y)) > 0) ++count;
    return count;
}

std::vector<unsigned char> cellPixels(const Picture& p, const bw::PictureSpec& spec, int frame) {
    int cx = (frame % spec.columns) * spec.cell, cy = (frame / spec.columns) * spec.cell;
    std::vector<unsigned char> out;
    for (int y = 0; y < spec.cell; ++y) {
        const unsigned char* row = &p.rgba[(static_cast<size_t>(cy + y) * p.w + cx) * 4];
        out.insert(out.end(), row, row + spec.cell * 4);
    }
    return out;
}

TEST(DataFolder, EveryPictureDecodesAtItsSheetSize) {
    for (const bw::PictureSpec& spec : bw::Pictures) {
        Picture p = load(spec);
        EXPECT_EQ(p.w, static_cast<unsigned>(spec.cell * spec.columns)) << spec.file;
        EXPECT_EQ(p.h, static_cast<unsigned>(spec.cell * spec.rows)) << spec.file;
        // Only the width decides how the game cuts a picture: a sheet must be wider than its cell.
        EXPECT_EQ(p.w > static_cast<unsigned>(spec.cell), spec.columns > 1) << spec.file;
    }
}

TEST(DataFolder, FramesTheGameDrawsAreDrawn) {
    struct Case {
        const bw::PictureSpec& spec;
        std::vector<int> frames;
    };
    std::vector<int> allParticles, allLogoCells;
    for (int i = 0; i < bw::ParticleGroups * bw::ParticleShapes; ++i) allParticles.push_back(i);
    const Case cases[] = {
        {bw::GfxSheet, {bw::GfxTrail, bw::GfxGem, bw::GfxBigGem, bw::GfxHazard, bw::GfxBombPickup, bw::GfxHazardBlink,
                        bw::GfxRegrowing}},
        {bw::IconSheet, {bw::IconPause, bw::IconQuit, bw::IconGearOuter, bw::IconGearInner, bw::IconCredits,
                         bw::IconBackdropTile}},
        {bw::OptionSheet, {bw::OptBack, bw::OptSfxVolume, bw::OptMusicVolume, bw::OptScreen, bw::OptStats,
                           bw::OptController, bw::OptInvertY, bw::OptLives, bw::OptOnlineName, bw::OptLessMotion}},
        {bw::ParticleSheet, allParticles},
        {bw::VornLogoSheet, {12 * 25 + 12, 5 * 25 + 12, 20 * 25 + 12}},
        {bw::RipplePicture, {0}},
        {bw::WaterPicture, {0}},
        {bw::MenuPicture, {0}},
    };
    for (const Case& c : cases) {
        Picture p = load(c.spec);
        for (int frame : c.frames) EXPECT_GT(inkInCell(p, c.spec, frame), 20) << c.spec.file << " frame " << frame;
    }
    // The hazard's blink frame must differ from the hazard.
    Picture gfx = load(bw::GfxSheet);
    EXPECT_NE(cellPixels(gfx, bw::GfxSheet, bw::GfxHazard), cellPixels(gfx, bw::GfxSheet, bw::GfxHazardBlink));
}

TEST(DataFolder, LogoLiesInTheBandTheTitleScreenShows) {
    // The title screen centres the square texture so that only rows 256..767 fall below
    // the top of the screen; anything outside that band would be cut off or misplaced.
    Picture p = load(bw::LogoPicture);
    ASSERT_EQ(p.h, 1024u);
    int outside = 0, inside = 0;
    for (unsigned y = 0; y < p.h; ++y) {
        bool inBand = y >= static_cast<unsigned>(bw::LogoBandTop) &&
                      y < static_cast<unsigned>(bw::LogoBandTop + bw::LogoBandHeight);
        for (unsigned x = 0; x < p.w; ++x)
            if (p.alpha(x, y) > 0) ++(inBand ? inside : outside);
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 100000);
}

TEST(DataFolder, NoVisiblePixelIsOnTheColourKey) {
    for (const bw::PictureSpec& spec : bw::Pictures) {
        Picture p = load(spec);
        int keyed = 0;
        for (size_t i = 0; i + 3 < p.rgba.size(); i += 4) {
            const unsigned char* px = &p.rgba[i];
            if (px[3] == 0) continue;
            bool magenta = px[0] > 250 && px[1] <= 4 && px[2] > 250;
            bool cyan = px[0] <= 4 && px[1] > 250 && px[2] > 250;
            if (magenta || cyan) ++keyed;
        }
        EXPECT_EQ(keyed, 0) << spec.file;
    }
}

TEST(DataFolder, GlyphsSitInTheirAdvanceBoxes) {
    // Text draws each glyph centred 14 pixels past its pen, so a glyph's ink belongs in
    // columns FontBoxLeft .. FontBoxLeft + advance of its cell.
    const bw::PictureSpec& spec = bw::FontSheet;
    Picture p = load(spec);
    const unsigned faint = 64;
    for (int code = bw::FontFirstChar; code <= bw::FontLastChar; ++code) {
        int frame = code - bw::FontFirstChar;
        int advance = bw::FontWidths[frame] - 1;
        int cx = (frame % spec.columns) * spec.cell, cy = (frame / spec.columns) * spec.cell;
        int left = spec.cell, right = -1;
        for (int y = 0; y < spec.cell; ++y)
            for (int x = 0; x < spec.cell; ++x)
                if (p.alpha(static_cast<unsigned>(cx + x), static_cast<unsigned>(cy + y)) > faint) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        if (code == ' ') {
            EXPECT_EQ(right, -1) << "the blank has ink";
            continue;
        }
        ASSERT_GE(right, 0) << "no glyph for '" << static_cast<char>(code) << "'";
        EXPECT_GE(left, bw::FontBoxLeft) << static_cast<char>(code);
        EXPECT_LT(right, bw::FontBoxLeft + advance) << static_cast<char>(code);
    }
}

uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
unsigned le16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

TEST(DataFolder, SoundsAreMono16BitPcmWavesTheLoaderReads) {
    for (int number : bw::SoundNumbers) {
        std::string name = bw::soundFileName(number);
        std::vector<unsigned char> b = readFile(DataDir + "/" + name);
        ASSERT_GE(b.size(), 44u) << name;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF") << name;
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ") << name;  // format chunk first
        EXPECT_EQ(le32(b, 16), 16u) << name;
        EXPECT_EQ(le16(b, 20), 1u) << name;   // PCM
        EXPECT_EQ(le16(b, 22), 1u) << name;   // mono, so the game's pan places it
        EXPECT_EQ(le32(b, 24), static_cast<uint32_t>(bw::SampleRate)) << name;
        EXPECT_EQ(le16(b, 34), 16u) << name;
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data") << name;
        uint32_t bytes = le32(b, 40);
        EXPECT_EQ(b.size(), 44u + bytes) << name;
        int peak = 0;
        for (size_t i = 44; i + 1 < b.size(); i += 2)
            peak = std::max(peak, std::abs(static_cast<int>(static_cast<int16_t>(le16(b, i)))));
        EXPECT_GT(peak, 8000) << name << " is nearly silent";
        EXPECT_LT(peak, 32767) << name << " clips";
    }
}

TEST(DataFolder, MusicIsLongStereoVorbisThatLoopsWithoutAGap) {
    std::string path = DataDir + "/audio/" + bw::MusicFile;
    int channels = 0, rate = 0;
    short* samples = nullptr;
    int frames = stb_vorbis_decode_filename(path.c_str(), &channels, &rate, &samples);
    ASSERT_GT(frames, 0) << path;
    std::vector<short> pcm(samples, samples + static_cast<size_t>(frames) * channels);
    free(samples);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, bw::SampleRate);
    EXPECT_GE(frames, 30 * bw::SampleRate);
    EXPECT_EQ(frames, bw::MusicLoopSamples);  // no padding: the loop restarts on the beat

    // The end runs into the start: no fade-out, and no jump at the seam bigger than the
    // music's own steps.
    auto rms = [&](size_t from, size_t count) {
        double sum = 0;
        for (size_t i = from; i < from + count; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
        return std::sqrt(sum / count);
    };
    size_t quarterSecond = static_cast<size_t>(bw::SampleRate / 4) * 2;
    EXPECT_GT(rms(pcm.size() - quarterSecond, quarterSecond), 0.2 * rms(0, pcm.size()));
    for (int c = 0; c < channels; ++c) {
        int biggest = 0;
        for (size_t i = static_cast<size_t>(c) + 2; i < pcm.size(); i += 2)
            biggest = std::max(biggest, std::abs(pcm[i] - pcm[i - 2]));
        int seam = std::abs(pcm[static_cast<size_t>(c)] - pcm[pcm.size() - 2 + static_cast<size_t>(c)]);
        EXPECT_LE(seam, biggest) << "channel " << c;
    }
}

TEST(DataFolder, SecondGenerationGivesTheSameBytes) {
    char folder[] = "/tmp/brindlewick-assets-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_TRUE(bw::generateDataFolder(folder, FontPath));
    std::vector<std::string> files;
    for (const bw::PictureSpec& spec : bw::Pictures) files.push_back(spec.file);
    for (int number : bw::SoundNumbers) files.push_back(bw::soundFileName(number));
    files.push_back(std::string("audio/") + bw::MusicFile);
    for (const std::string& f : files) {
        std::vector<unsigned char> built = readFile(DataDir + "/" + f), again = readFile(std::string(folder) + "/" + f);
        EXPECT_FALSE(built.empty()) << f;
        EXPECT_TRUE(built == again) << f << " differs between two generations";
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
