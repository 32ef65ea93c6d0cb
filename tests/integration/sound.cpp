// Sound on the real OpenAL Soft: its wave driver writes the mix to a file, read back through
// sox. The generated gem sound and a second of the streamed music, played through the core's
// API, must show in the file's loudness envelope in order with silence around; surround music
// (7.1 and 5.1 files, a tone in one channel each) must be heard on its own side, at its pitch;
// damaged music (a chained 5.1 file whose second link's codebooks are damaged, Ogg and WAV
// files whose sample rate field OpenAL cannot take) must neither crash nor fill the log.
#include <AL/al.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "MyGame.h"
#include "VornCore.h"
#include "audio_files.h"

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

// The file's samples as 16-bit PCM at EnvelopeRate, interleaved over channels (sox mixes or
// spreads the file's own channels); empty when sox cannot read it.
std::vector<int16_t> ReadMix(const std::string& wav, int channels) {
    const std::string command = "sox '" + wav + "' -t raw -e signed -b 16 -c " + std::to_string(channels) +
                                " -r " + std::to_string(EnvelopeRate) + " - 2>/dev/null";
    std::vector<int16_t> samples;
    FILE* out = popen(command.c_str(), "r");
    if (!out) return samples;
    int16_t block[4096];
    size_t got = 0;
    while ((got = std::fread(block, sizeof block[0], std::size(block), out)) > 0)
        samples.insert(samples.end(), block, block + got);
    pclose(out);
    return samples;
}

// The RMS amplitude of each window of the file, down to one channel.
std::vector<double> Envelope(const std::vector<int16_t>& mono) {
    std::vector<double> envelope;
    for (size_t at = 0; at + WindowSamples <= mono.size(); at += WindowSamples) {
        double sum = 0;
        for (size_t i = at; i < at + WindowSamples; ++i) sum += static_cast<double>(mono[i]) * mono[i];
        envelope.push_back(std::sqrt(sum / WindowSamples) / FullScale);
    }
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

const std::filesystem::path& Scratch() {
    static const std::filesystem::path tmp = [] {
        const std::filesystem::path p = std::filesystem::path(BRINDLEWICK_TEST_TMP) / "sound_output";
        std::filesystem::remove_all(p);
        std::filesystem::create_directories(p);
        return p;
    }();
    return tmp;
}

// The file the wave driver writes the mix to. OpenAL Soft reads its configuration once, when
// a device is first opened, so every test of this process shares it: each closes its device,
// which completes the file, and reads it before the next opens one and starts it anew.
std::string WaveOutput() {
    const std::string wav = (Scratch() / "mix.wav").string();
    const std::string conf = (Scratch() / "alsoft.conf").string();
    if (!std::filesystem::exists(conf)) {
        std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile = " << wav << "\n";
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        unsetenv("ALSOFT_DRIVERS");
    }
    return wav;
}

// A home folder of the game's layout for music the test writes: its audio folder, made.
std::filesystem::path AudioFolderOf(const std::filesystem::path& home) {
    const std::filesystem::path audio = home / "Data" / "556" / "audio";
    std::filesystem::create_directories(audio);
    return audio;
}

// Starts a music file of the audio folder looping through the game's path and services it for
// ms as the main loop does, then stops it; gives the lines logged meanwhile.
int LinesWhileLooping(const char* file, int ms, int expectPlaying) {
    const int before = DebugMessages;
    Core.PlayMusic(file, 1);
    const long long start = SysClockMs();
    while (Since(start) < ms) {
        Core.MusicHandler();
        SleepMs(ServiceMs);
    }
    EXPECT_EQ(ASys.MusicPlaying, expectPlaying);
    Core.StopMusic();
    return DebugMessages - before;
}

TEST(SoundOutput, GemAndMusicReachTheWaveDriver) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    ASSERT_EQ(std::system("sox --version > /dev/null 2>&1"), 0) << "sox is missing";
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
    ASSERT_TRUE(std::filesystem::exists(data / "audio" / "02.wav")) << "the generated data folder is missing";
    ASSERT_TRUE(std::filesystem::exists(data / "audio" / "wombats.ogg"));
    const std::string wav = WaveOutput();

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

    const std::vector<double> envelope = Envelope(ReadMix(wav, 1));
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

// Surround music through the game's path, one file after another with silence between: a 7.1
// file with a tone in front right only, one with a tone in side left only, and a 5.1 file with
// a tone in the centre only. Each is heard on its side or sides of the mix, at its pitch, and
// the other side stays far quieter.
TEST(SoundOutput, SurroundMusicIsHeardOnItsSide) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    ASSERT_EQ(std::system("sox --version > /dev/null 2>&1"), 0) << "sox is missing";
    const std::string wav = WaveOutput();

    struct Case {
        const char* file;
        int channels, channel;   // the tone's channel in the Vorbis order
        double hz;
        bool left, right;        // where it is heard
    };
    const Case cases[] = {
        {"front_right_7.1.ogg", 8, 2, 660, false, true},
        {"side_left_7.1.ogg", 8, 3, 440, true, false},
        {"centre_5.1.ogg", 6, 1, 550, true, true},
    };
    constexpr int ToneRate = 44100, ToneMs = 800, GapMs = 500, WaitMs = 5000;
    const std::filesystem::path home = Scratch() / "home";
    const std::filesystem::path audio = AudioFolderOf(home);
    for (const Case& c : cases) {
        const audio_files::Bytes ogg = audio_files::OggEncode(
            c.channels, ToneRate, ToneRate * ToneMs / 1000,
            [&](int ch, int i) { return ch == c.channel ? 0.5 * std::sin(2 * M_PI * c.hz * i / ToneRate) : 0.0; });
        ASSERT_FALSE(ogg.empty());
        audio_files::WriteBytes((audio / c.file).string(), ogg);
    }

    Core.Begin(556, "Surround Test");
    ASSERT_NE(ALctx, nullptr) << "OpenAL Soft's wave driver did not open";
    std::snprintf(Core.home, sizeof Core.home, "%s", home.c_str());
    Core.MusicVol = 1;
    SleepMs(GapMs);
    for (const Case& c : cases) {
        Core.PlayMusic(c.file, 0);
        EXPECT_EQ(ASys.MusicPlaying, MusicOgg) << c.file;
        // Serviced as the main loop does until the file ends, then its queue plays out.
        const long long start = SysClockMs();
        ALint state = AL_PLAYING;
        while (Since(start) < WaitMs && (ASys.MusicPlaying != MusicNone || state == AL_PLAYING)) {
            Core.MusicHandler();
            SleepMs(ServiceMs);
            alGetSourcei(ALsource[MusicSource], AL_SOURCE_STATE, &state);
        }
        EXPECT_NE(state, AL_PLAYING) << c.file << " still plays after " << WaitMs << " ms";
        SleepMs(GapMs);
    }
    Core.Terminate();

    const std::vector<int16_t> stereo = ReadMix(wav, 2);
    std::vector<int16_t> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = static_cast<int16_t>((stereo[2 * i] + stereo[2 * i + 1]) / 2);
    const std::vector<double> envelope = Envelope(mono);
    ASSERT_FALSE(envelope.empty()) << "sox could not read " << wav;
    const std::vector<Segment> sounds = Sounds(envelope);
    SCOPED_TRACE(Describe(sounds, static_cast<int>(envelope.size()) * WindowMs));
    ASSERT_EQ(sounds.size(), std::size(cases)) << "each file once, silence between";
    for (size_t n = 0; n < std::size(cases); ++n) {
        const Case& c = cases[n];
        SCOPED_TRACE(c.file);
        EXPECT_NEAR(sounds[n].LengthMs(), ToneMs, SlackMs) << "the whole file";
        // The middle of the sound, away from its edges.
        const size_t from = static_cast<size_t>(sounds[n].from + sounds[n].LengthMs() / 4 / WindowMs) * WindowSamples;
        const size_t to = static_cast<size_t>(sounds[n].to - sounds[n].LengthMs() / 4 / WindowMs) * WindowSamples;
        const double side[2] = {audio_files::ChannelRms(stereo, 0, from, to), audio_files::ChannelRms(stereo, 1, from, to)};
        const double heard = std::max(side[0], side[1]);
        EXPECT_GT(heard, Loud);
        for (int s = 0; s < 2; ++s) {
            SCOPED_TRACE(s == 0 ? "left" : "right");
            if (!(s == 0 ? c.left : c.right)) {
                EXPECT_LT(side[s], heard / 10) << "far quieter on the other side";
                continue;
            }
            EXPECT_GT(side[s], heard / 2);
            EXPECT_GT(audio_files::ToneAmplitude(stereo, s, c.hz, EnvelopeRate, from, to), side[s])
                << "at its pitch, " << c.hz << " Hz (a sine's amplitude is its RMS times 1.41)";
        }
    }
}

// Damaged music through the game's path, each file looped for a while as the main loop
// services it: a chained 5.1 file whose second link has a codebook byte changed under a good
// page checksum keeps going round its first link, heard; files whose rate field has its top
// bit set (on either decoder) are refused with one line and leave no music.
TEST(SoundOutput, DamagedMusicNeitherCrashesNorFloodsTheLog) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    ASSERT_EQ(std::system("sox --version > /dev/null 2>&1"), 0) << "sox is missing";
    const std::string wav = WaveOutput();

    constexpr int ToneRate = 44100, PlayMs = 2000, MostLines = 3;
    auto tone = [&](int channels, int serial, const audio_files::HeaderEdit& edit) {
        return audio_files::OggEncode(
            channels, ToneRate, ToneRate / 2,
            [&](int ch, int i) { return ch == 0 ? 0.5 * std::sin(2 * M_PI * 440 * i / ToneRate) : 0.0; }, edit, serial);
    };
    auto topBitOfRate = [](audio_files::HeaderPackets& h) { h.at(0).at(15) |= 0x80; };
    audio_files::Bytes chain = tone(6, 1, {});
    const audio_files::Bytes damagedLink = tone(6, 2, [](audio_files::HeaderPackets& h) { h.at(2).at(21) ^= 1; });
    chain.insert(chain.end(), damagedLink.begin(), damagedLink.end());
    struct Case {
        const char* file;
        audio_files::Bytes bytes;
        bool plays;
    };
    const Case cases[] = {
        {"damaged_link_5.1.ogg", chain, true},
        {"rate_top_bit_5.1.ogg", tone(6, 1, topBitOfRate), false},
        {"rate_top_bit_stereo.ogg", tone(2, 1, topBitOfRate), false},
    };
    const std::filesystem::path home = Scratch() / "damaged_home";
    const std::filesystem::path audio = AudioFolderOf(home);
    for (const Case& c : cases) audio_files::WriteBytes((audio / c.file).string(), c.bytes);

    Core.Begin(556, "Damaged Music Test");
    ASSERT_NE(ALctx, nullptr) << "OpenAL Soft's wave driver did not open";
    std::snprintf(Core.home, sizeof Core.home, "%s", home.c_str());
    Core.MusicVol = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const int lines = LinesWhileLooping(c.file, PlayMs, c.plays ? MusicOgg : MusicNone);
        EXPECT_LE(lines, c.plays ? 0 : 1) << "lines logged";
        EXPECT_LE(lines, MostLines);
    }
    Core.Terminate();

    const std::vector<double> envelope = Envelope(ReadMix(wav, 1));
    ASSERT_FALSE(envelope.empty()) << "sox could not read " << wav;
    const std::vector<Segment> sounds = Sounds(envelope);
    SCOPED_TRACE(Describe(sounds, static_cast<int>(envelope.size()) * WindowMs));
    ASSERT_EQ(sounds.size(), 1u) << "the damaged chain only";
    EXPECT_GT(sounds[0].peak, Loud);
    EXPECT_NEAR(sounds[0].LengthMs(), PlayMs, SlackMs) << "it went round for as long as it played";
}

// WAV music through the game's path, each file looped for a while as the main loop services
// it: files whose rate field is 0, has its top bit set, or is past the highest rate music may
// have (where OpenAL refuses every block, or plays the music as a burst) are refused with one
// line and play nothing; the same tone at 44.1 kHz and at the highest rate, 384 kHz, plays for
// as long as it is serviced, without a line. The refused files lie between the two that play,
// so a refused one that played anyway would be heard in the silence between them.
TEST(SoundOutput, WavMusicWithADamagedRateIsRefusedOnce) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    ASSERT_EQ(std::system("sox --version > /dev/null 2>&1"), 0) << "sox is missing";
    const std::string wav = WaveOutput();

    constexpr int ToneRate = 44100, HighestRate = 384000, PlayMs = 1500;
    constexpr double ToneSeconds = 0.5;
    struct Case {
        const char* file;
        uint32_t rate;   // the header's field
        bool plays;
    };
    const Case cases[] = {
        {"rate_44100.wav", ToneRate, true},
        {"rate_0.wav", 0, false},
        {"rate_top_bit.wav", 0x80000000u | ToneRate, false},
        {"rate_all_ones.wav", 0xffffffffu, false},
        {"rate_largest_int.wav", 0x7fffffffu, false},
        {"rate_past_highest.wav", HighestRate + 1, false},
        {"rate_384000.wav", HighestRate, true},
    };
    const std::filesystem::path home = Scratch() / "wav_rate_home";
    const std::filesystem::path audio = AudioFolderOf(home);
    for (const Case& c : cases) {
        // A damaged field over a tone made at 44.1 kHz; a good one over a tone made at its rate.
        const int made = c.plays ? static_cast<int>(c.rate) : ToneRate;
        audio_files::WriteBytes((audio / c.file).string(),
                                audio_files::SimpleWav(1, c.rate, 16, audio_files::Tone16(1, made, ToneSeconds)));
    }

    Core.Begin(556, "WAV Music Rate Test");
    ASSERT_NE(ALctx, nullptr) << "OpenAL Soft's wave driver did not open";
    std::snprintf(Core.home, sizeof Core.home, "%s", home.c_str());
    Core.MusicVol = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(LinesWhileLooping(c.file, PlayMs, c.plays ? MusicWav : MusicNone), c.plays ? 0 : 1) << "lines logged";
    }
    Core.Terminate();

    const std::vector<double> envelope = Envelope(ReadMix(wav, 1));
    ASSERT_FALSE(envelope.empty()) << "sox could not read " << wav;
    const std::vector<Segment> sounds = Sounds(envelope);
    SCOPED_TRACE(Describe(sounds, static_cast<int>(envelope.size()) * WindowMs));
    // At 384 kHz a block lasts 21 ms, so on a busy machine the queue may run dry for a moment:
    // each tone is the sound on its side of the longest silence, however it is split.
    ASSERT_GE(sounds.size(), 2u) << "the tone at 44.1 kHz and at 384 kHz";
    size_t fast = 1;   // the first sound after the longest silence
    for (size_t i = 2; i < sounds.size(); ++i)
        if (sounds[i].from - sounds[i - 1].to > sounds[fast].from - sounds[fast - 1].to) fast = i;
    const int refusedMs = static_cast<int>(std::size(cases) - 2) * PlayMs;
    EXPECT_GE(sounds[fast].FromMs() - sounds[fast - 1].ToMs(), refusedMs - SlackMs)
        << "silence while the refused files were tried";
    auto joined = [&](size_t from, size_t to) {
        Segment all{sounds[from].from, sounds[to - 1].to, 0};
        for (size_t i = from; i < to; ++i) all.peak = std::max(all.peak, sounds[i].peak);
        return all;
    };
    for (const Segment& tone : {joined(0, fast), joined(fast, sounds.size())}) {
        EXPECT_GT(tone.peak, Loud);
        EXPECT_NEAR(tone.LengthMs(), PlayMs, SlackMs) << "it went round for as long as it played";
    }
}

}  // namespace
