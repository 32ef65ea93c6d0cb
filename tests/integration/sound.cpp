// Sound on the real OpenAL Soft: its wave driver writes the mix to a file, the generated gem
// sound and a second of the streamed music are played through the core's API, and the file's
// loudness envelope (read through sox) must show the two sounds in order with silence around.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MyGame.h"
#include "VornCore.h"

namespace {

VornCore Core;

constexpr double Loud = 0.01;      // RMS amplitude of a window where a sound plays
constexpr double Silent = 0.001;   // and of one where nothing plays
constexpr int LeadMs = 600;        // silence before the gem
constexpr int GemMs = 900;         // from the gem to the music
constexpr int MusicMs = 1200;      // the music streams this long
constexpr int TailMs = 600;        // silence after the music is stopped
constexpr int ServiceMs = 10;      // one main-loop pass while the music plays

// The envelope: RMS amplitude of the mix, down to one channel, in windows of WindowMs.
constexpr int EnvelopeRate = 44100;
constexpr int WindowMs = 20;
constexpr int WindowSamples = EnvelopeRate * WindowMs / 1000;
constexpr double FullScale = 32768;
// A quiet stretch shorter than this inside a sound (a late refill of the stream) does not
// split it in two.
constexpr int BridgeMs = 100;
// Every length measured in the file may differ this much from the one asked for: the
// driver mixes in its own thread, in periods of a few tens of ms, and a busy machine
// wakes our sleeps and its thread late.
constexpr int SlackMs = 250;

long long Since(long long start) { return SysClockMs() - start; }

void SleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// The RMS amplitude of each window of the file, empty when sox cannot read it.
std::vector<double> Envelope(const std::string& wav) {
    const std::string command = "sox '" + wav + "' -t raw -e signed -b 16 -c 1 -r " +
                                std::to_string(EnvelopeRate) + " - 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    std::vector<double> envelope;
    if (!out) return envelope;
    std::vector<int16_t> window(WindowSamples);
    while (std::fread(window.data(), sizeof window[0], window.size(), out) == window.size()) {
        double sum = 0;
        for (int16_t s : window) sum += static_cast<double>(s) * s;
        envelope.push_back(std::sqrt(sum / WindowSamples) / FullScale);
    }
    pclose(out);
    return envelope;
}

// A stretch of the file where something plays: windows [from, to) and its loudest window.
struct Segment {
    int from, to;
    double peak;
    int FromMs() const { return from * WindowMs; }
    int ToMs() const { return to * WindowMs; }
    int LengthMs() const { return (to - from) * WindowMs; }
};

// The stretches of windows at or above Silent, with quiet stretches shorter than BridgeMs
// inside them bridged.
std::vector<Segment> Sounds(const std::vector<double>& envelope) {
    std::vector<Segment> sounds;
    for (int i = 0; i < static_cast<int>(envelope.size()); ++i) {
        if (envelope[i] < Silent) continue;
        if (!sounds.empty() && (i - sounds.back().to) * WindowMs < BridgeMs)
            sounds.back().to = i + 1;
        else
            sounds.push_back({i, i + 1, 0});
        sounds.back().peak = std::max(sounds.back().peak, envelope[i]);
    }
    return sounds;
}

std::string Describe(const std::vector<Segment>& sounds, int fileMs) {
    std::ostringstream text;
    text << "file " << fileMs << " ms, sounds:";
    for (const Segment& s : sounds) text << " [" << s.FromMs() << ".." << s.ToMs() << " ms, peak " << s.peak << "]";
    return text.str();
}

TEST(SoundOutput, GemAndMusicReachTheWaveDriver) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    ASSERT_EQ(std::system("sox --version > /dev/null 2>&1"), 0) << "sox is missing";
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
    ASSERT_TRUE(std::filesystem::exists(data / "audio" / "02.wav")) << "the generated data folder is missing";
    ASSERT_TRUE(std::filesystem::exists(data / "audio" / "wombats.ogg"));

    // OpenAL Soft reads its configuration when the device is first opened.
    const std::filesystem::path tmp = std::filesystem::path(BRINDLEWICK_TEST_TMP) / "sound_output";
    std::filesystem::remove_all(tmp);
    std::filesystem::create_directories(tmp);
    const std::string wav = (tmp / "mix.wav").string();
    const std::string conf = (tmp / "alsoft.conf").string();
    std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile = " << wav << "\n";
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");

    Core.Begin(556, "Sound Test");
    ASSERT_NE(ALctx, nullptr) << "OpenAL Soft's wave driver did not open";
    std::snprintf(Core.home, sizeof Core.home, "%s", data.parent_path().parent_path().c_str());
    Core.SFXVol = 1;
    Core.MusicVol = 1;
    Core.LoadSFX(SfxGem);
    ASSERT_GT(SFXData[SfxGem][SfxFrames], 0);
    ASSERT_GT(SFXData[SfxGem][SfxRate], 0);
    const int gemLengthMs = SFXData[SfxGem][SfxFrames] * 1000 / SFXData[SfxGem][SfxRate];

    SleepMs(LeadMs);
    Core.PlaySFX(SfxGem, 1, 1);
    SleepMs(GemMs);

    Core.PlayMusic("wombats.ogg");
    ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
    // What the queue holds before the first refill: music that plays longer than this
    // reached the output through the refills.
    const int primedMs = MusicBuffers * OggBlockSamples / MusicBufferStats[MusicStatChannels] * 1000 /
                         MusicBufferStats[MusicStatRate];
    const long long music = SysClockMs();
    while (Since(music) < MusicMs) {
        Core.MusicHandler();
        SleepMs(ServiceMs);
    }
    Core.StopMusic();
    SleepMs(TailMs);
    Core.Terminate();   // closing the device completes the file

    const std::vector<double> envelope = Envelope(wav);
    ASSERT_FALSE(envelope.empty()) << "sox could not read " << wav;
    const int fileMs = static_cast<int>(envelope.size()) * WindowMs;
    const std::vector<Segment> sounds = Sounds(envelope);
    SCOPED_TRACE(Describe(sounds, fileMs));
    ASSERT_EQ(sounds.size(), 2u) << "the gem and the music, each once, silence around them";
    const Segment& gem = sounds[0];
    const Segment& tune = sounds[1];

    EXPECT_GE(gem.FromMs(), LeadMs - SlackMs) << "silence before the gem";
    EXPECT_GT(gem.peak, Loud) << "the gem";
    EXPECT_NEAR(gem.LengthMs(), gemLengthMs, SlackMs) << "the gem plays its own length";
    EXPECT_GE(tune.FromMs() - gem.ToMs(), GemMs - gemLengthMs - SlackMs) << "silence between the gem and the music";
    EXPECT_GT(tune.peak, Loud) << "the music";
    EXPECT_GT(tune.LengthMs(), primedMs) << "the music streams past its first " << MusicBuffers << " blocks";
    EXPECT_LE(tune.LengthMs(), MusicMs + SlackMs) << "the music ends when it is stopped";
    EXPECT_GE(fileMs - tune.ToMs(), TailMs - SlackMs) << "silence after the music stopped";
}

}  // namespace
