// The music stream through the OpenAL fake: priming four buffers one per pass, refilling a
// buffer only once one has played, WAV streams that start and loop at their data chunk (also
// after padded odd chunks), formats OpenAL refuses, Ogg streams (mono and stereo decoded by
// stb_vorbis, 3 to 8 channels by libvorbisfile and mixed to stereo, each channel checked on
// the PCM queued), the end with and without looping (a looping block runs across the seam),
// damaged files (headers, rates, later links, files that decode nothing), stopping, shutdown,
// and streams started and stopped many times without leaking their files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_fixture.h"

using namespace audio_files;

namespace {

constexpr int Rate = 22050;
constexpr int MostChannels = 8;   // the most channels music may have
constexpr uint32_t HighestRate = 384000;  // the highest sample rate music may have

// A short tone whose identification header gives this sample rate (the audio, encoded at
// Rate, decodes the same whatever the field says).
Bytes OggWithRate(int channels, uint32_t rate) {
    return OggTone(channels, Rate, 0.2, 440, [rate](HeaderPackets& h) {
        const size_t field = 12;   // type byte, "vorbis", version, channels
        for (size_t i = 0; i < 4; ++i) h.at(0).at(field + i) = static_cast<unsigned char>(rate >> (8 * i));
    });
}

class StreamTest : public AudioTest {
protected:
    FakeAlSource& Music() { return Src(MusicSource); }
    const Bytes& Queued(size_t i) { return FakeAl.buffers[Music().queue.at(i)].data; }
    // One main-loop pass after the player used up n buffers.
    void Pass(int played = 1) {
        FakeAlPlayBuffers(ALsource[MusicSource], played);
        ASys.HandleMusicSys();
    }
    // Starts a stream of the kind its file name ends in: ".wav", or else Ogg.
    void Start(const std::string& path, int loop) {
        const std::string wav = ".wav";
        if (path.size() >= wav.size() && path.compare(path.size() - wav.size(), wav.size(), wav) == 0)
            ASys.PlayMusic_Wav_Sys(path.c_str(), loop);
        else
            ASys.PlayMusic_Ogg_Sys(path.c_str(), loop);
    }
    // Passes until the stream ends, at most limit.
    int PassesToEnd(int limit = 1000) {
        int n = 0;
        while (ASys.MusicPlaying != MusicNone && n < limit) Pass(), ++n;
        return n;
    }
    // Plays an Ogg file once to its end (at most limit passes) and returns every stereo
    // frame queued.
    Stereo PlayToEnd(const std::string& path, int limit = 400) {
        Stereo frames;
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 0);
        if (ASys.MusicPlaying != MusicOgg) return frames;
        EXPECT_EQ(MusicBufferStats[MusicStatFormat], AL_FORMAT_STEREO16);
        EXPECT_EQ(MusicBufferStats[MusicStatChannels], 2);
        auto take = [&] {
            const Bytes& block = FakeAl.buffers[Music().queue.back()].data;
            EXPECT_EQ(block.size() % 4, 0u);
            for (size_t i = 0; i + 1 < block.size(); i += 2)
                frames.push_back(static_cast<int16_t>(block[i] | block[i + 1] << 8));
        };
        take();
        for (int pass = 0; ASys.MusicPlaying == MusicOgg && pass < limit; ++pass) Pass(), take();
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        return frames;
    }
};

}  // namespace

TEST_F(StreamTest, StartPrimesOneBufferPerPassThenWaitsForAPlayedOne) {
    const Bytes data = Pattern(10 * MusicBlockBytes);
    ASys.PlayMusic_Wav_Sys(Write("m.wav", SimpleWav(2, Rate, 16, data)).c_str(), 1);
    EXPECT_EQ(ASys.MusicPlaying, MusicWav);
    EXPECT_EQ(MusicBufferTick, -2);
    EXPECT_EQ(ASys.MusicBufferTo, 1);
    ASSERT_EQ(Music().queue.size(), 1u);
    EXPECT_EQ(Music().state, AL_PLAYING);
    EXPECT_EQ(MusicBufferStats[MusicStatFormat], AL_FORMAT_STEREO16);
    EXPECT_EQ(MusicBufferStats[MusicStatRate], Rate);

    for (int pass = 0; pass < 3; ++pass) ASys.HandleMusicSys();  // nothing played yet
    EXPECT_EQ(MusicBufferTick, 1);
    ASSERT_EQ(Music().queue.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Music().queue[i], MusicBuffer[i]);
        EXPECT_EQ(Queued(i), Bytes(data.begin() + i * MusicBlockBytes, data.begin() + (i + 1) * MusicBlockBytes));
        EXPECT_EQ(FakeAl.buffers[MusicBuffer[i]].format, AL_FORMAT_STEREO16);
    }

    ASys.HandleMusicSys();  // the queue is full
    EXPECT_EQ(MusicBufferTick, 1);
    EXPECT_EQ(Music().queue.size(), 4u);

    Pass();  // the oldest buffer played: it is refilled with the fifth block
    EXPECT_EQ(MusicBufferTick, 2);
    ASSERT_EQ(Music().queue.size(), 4u);
    EXPECT_EQ(Music().queue.back(), MusicBuffer[0]);
    EXPECT_EQ(Queued(3), Bytes(data.begin() + 4 * MusicBlockBytes, data.begin() + 5 * MusicBlockBytes));
    EXPECT_EQ(ASys.MusicBufferTo, 1);

    Pass(2);  // two played, but one buffer per pass
    EXPECT_EQ(MusicBufferTick, 3);
    EXPECT_EQ(Music().queue.size(), 4u);
    EXPECT_FALSE(Logged("Error"));
}

// The stream begins at the first byte of the data chunk (never the header), stops at the end
// of that chunk (never the chunks after it) and loops back to the same byte.
TEST_F(StreamTest, WavStreamPlaysItsDataChunkAndLoopsToItsStart) {
    const Bytes data = Pattern(2 * MusicBlockBytes + 1000, 3);
    const Bytes block0(data.begin(), data.begin() + MusicBlockBytes);
    const Bytes block1(data.begin() + MusicBlockBytes, data.begin() + 2 * MusicBlockBytes);
    const Bytes file = Riff({{"fmt ", FmtBody(1, Rate, 16, 1, 2)},
                             {"LIST", Pattern(77, 9)},
                             {"data", data},
                             {"LIST", Pattern(3 * MusicBlockBytes, 5)}});
    ASys.PlayMusic_Wav_Sys(Write("m.wav", file).c_str(), 1);
    EXPECT_EQ(MusicBufferStats[MusicStatFormat], AL_FORMAT_MONO16);
    ASys.HandleMusicSys();  // the second block
    ASys.HandleMusicSys();  // the short tail is dropped and the file rewinds
    EXPECT_EQ(Music().queue.size(), 2u);
    ASys.HandleMusicSys();
    ASys.HandleMusicSys();
    ASSERT_EQ(Music().queue.size(), 4u);
    EXPECT_EQ(Queued(0), block0);
    EXPECT_EQ(Queued(1), block1);
    EXPECT_EQ(Queued(2), block0);
    EXPECT_EQ(Queued(3), block1);
    EXPECT_EQ(ASys.MusicPlaying, MusicWav);
}

TEST_F(StreamTest, WavStreamWithoutLoopEndsAndPlaysOut) {
    const Bytes data = Pattern(6 * MusicBlockBytes);
    ASys.PlayMusic_Wav_Sys(Write("m.wav", SimpleWav(1, Rate, 8, data)).c_str(), 0);
    EXPECT_EQ(MusicBufferStats[MusicStatFormat], AL_FORMAT_MONO8);
    const int passes = PassesToEnd();
    EXPECT_EQ(passes, 5);  // blocks 2..6 after the start, the last one reaching the end
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    EXPECT_EQ(MusicBufferTick, 3);
    ASSERT_EQ(Music().queue.size(), 4u);
    EXPECT_EQ(Queued(3), Bytes(data.end() - MusicBlockBytes, data.end()));
    EXPECT_EQ(Music().state, AL_PLAYING);  // the queued buffers play out
}

// Only 1 loops, on every kind of stream: WAV, stereo Ogg (stb_vorbis) and 5.1 Ogg (the mix).
// Every other value plays the file once and ends with the queue playing out.
TEST_F(StreamTest, LoopValuesOtherThanOneEndTheStream) {
    const std::string wav = Write("m.wav", SimpleWav(1, Rate, 8, Pattern(2 * MusicBlockBytes)));
    const std::string stereo = Write("m.ogg", OggTone(2, Rate, 0.5));
    const std::string surround = Write("surround.ogg", OggTone(6, Rate, 0.5));
    for (const std::string& path : {wav, stereo, surround}) {
        SCOPED_TRACE(path);
        auto start = [&](int loop) {
            Start(path, loop);
            EXPECT_EQ(ASys.MusicLoop, loop);
            EXPECT_NE(ASys.MusicPlaying, MusicNone);
        };
        for (int loop : {0, 2, -1}) {
            SCOPED_TRACE(loop);
            start(loop);
            EXPECT_LT(PassesToEnd(), 10);
            EXPECT_EQ(ASys.MusicPlaying, MusicNone);
            EXPECT_EQ(Music().state, AL_PLAYING);  // the queued buffers play out
        }
        start(1);
        EXPECT_EQ(PassesToEnd(50), 50);
    }
    EXPECT_FALSE(Logged("Error"));
}

// For WAV and surround Ogg streams alike.
TEST_F(StreamTest, SettingsReachTheMusicSourceOnEveryPass) {
    const std::string wav = Write("m.wav", SimpleWav(1, Rate, 16, Pattern(8 * MusicBlockBytes)));
    const std::string ogg = Write("surround.ogg", OggTone(6, Rate, 2.0));
    for (const std::string& path : {wav, ogg}) {
        SCOPED_TRACE(path);
        Start(path, 1);
        EXPECT_FLOAT_EQ(ASys.MusicSet[MusicPitchSet], 1);
        EXPECT_FLOAT_EQ(ASys.MusicSet[MusicVolumeSet], 1);
        EXPECT_FLOAT_EQ(ASys.MusicSet[MusicPanSet], 0);
        for (int pass = 0; pass < 5; ++pass) ASys.HandleMusicSys();  // primed: this pass refills nothing
        ASys.MusicSet[MusicPitchSet] = 1.5f;
        ASys.MusicSet[MusicVolumeSet] = 0.5f;
        ASys.MusicSet[MusicPanSet] = 0.25f;
        ASys.MusicVolB = 0.6f;
        ASys.HandleMusicSys();
        EXPECT_FLOAT_EQ(Music().pitch, 1.5f);
        EXPECT_FLOAT_EQ(Music().gain, 0.3f);
        EXPECT_FLOAT_EQ(Music().position[0], -0.25f);

        // A new stream starts with the settings reset.
        Start(path, 1);
        EXPECT_FLOAT_EQ(Music().pitch, 1);
        EXPECT_FLOAT_EQ(Music().gain, 0.6f);
        EXPECT_FLOAT_EQ(Music().position[0], 0);
        ASys.MusicVolB = 1;
    }
}

TEST_F(StreamTest, ASourceThatRanDryIsStartedAgain) {
    ASys.PlayMusic_Wav_Sys(Write("m.wav", SimpleWav(1, Rate, 16, Pattern(8 * MusicBlockBytes))).c_str(), 1);
    for (int pass = 0; pass < 3; ++pass) ASys.HandleMusicSys();
    const int plays = Music().plays;
    Music().state = AL_STOPPED;  // the loop paused long enough for the queue to run out
    ASys.HandleMusicSys();
    EXPECT_EQ(Music().plays, plays + 1);
    EXPECT_EQ(Music().state, AL_PLAYING);
    EXPECT_EQ(Music().queue.size(), 4u);
    EXPECT_EQ(MusicBufferTick, 2);
    EXPECT_FALSE(Logged("Buffer Error"));
}

TEST_F(StreamTest, StopEmptiesTheQueue) {
    ASys.PlayMusic_Wav_Sys(Write("m.wav", SimpleWav(1, Rate, 16, Pattern(8 * MusicBlockBytes))).c_str(), 1);
    for (int pass = 0; pass < 4; ++pass) Pass();
    ASys.StopMusicSys();
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    EXPECT_EQ(ASys.MusicBufferTo, 0);
    EXPECT_TRUE(Music().queue.empty());
    EXPECT_EQ(Music().state, AL_STOPPED);
    // The four buffers are free again: a new stream fills them from the first.
    ASys.PlayMusic_Wav_Sys(Path("m.wav").c_str(), 1);
    ASSERT_EQ(Music().queue.size(), 1u);
    EXPECT_EQ(Music().queue[0], MusicBuffer[0]);
    EXPECT_FALSE(Logged("Error"));
}

TEST_F(StreamTest, MusicFilesThatCannotStartLeaveNoStream) {
    const std::string good = Write("good.wav", SimpleWav(1, Rate, 16, Pattern(8 * MusicBlockBytes)));
    // How a refusal is told: in one line (every Ogg file, and a WAV file's rate), or in a line
    // that names the WAV file after whatever else was found wrong with it.
    enum class Said { OneLine, NamingTheFile };
    struct Case {
        std::string name;
        Bytes file;  // empty: no file at all
        std::string log;
        Said said;
    };
    const Said named = Said::NamingTheFile, once = Said::OneLine;
    const Case fixed[] = {
        {"missing.wav", {}, "Error Opening Wave - ", named},
        {"nofmt.wav", Riff({{"data", Pattern(4 * MusicBlockBytes)}}), "Error Opening Wave - ", named},
        {"nodata.wav", Riff({{"fmt ", FmtBody(1, Rate, 16)}, {"LIST", Pattern(40)}}), "Error Opening Wave - ",
         named},
        {"nochannels.wav", SimpleWav(0, Rate, 16, Pattern(4 * MusicBlockBytes)), "Bad Wave Format", named},
        {"cut.wav", Riff({{"fmt ", FmtBody(1, Rate, 16)}, {"data", Pattern(100), 1 << 30}}),
         "Wave Chunk Too Large", named},
        // Formats OpenAL has no name for: refused at the start rather than on every refill.
        {"bits24.wav", SimpleWav(1, Rate, 24, Pattern(6 * MusicBlockBytes)), "Bad Wave Format 1 channels 24 bits",
         named},
        {"bits32.wav", SimpleWav(2, Rate, 32, Pattern(6 * MusicBlockBytes)), "Bad Wave Format 2 channels 32 bits",
         named},
        {"six.wav", SimpleWav(6, Rate, 16, Pattern(6 * MusicBlockBytes)), "Bad Wave Format 6 channels 16 bits",
         named},
        {"missing.ogg", {}, "Error Opening Ogg", once},
        {"notogg.ogg", SimpleWav(1, Rate, 16, Pattern(100)), "Error Opening Ogg", once},
        // Beyond 8 channels Vorbis gives no channel order: refused rather than guessed at.
        {"nine.ogg", OggTone(9, Rate, 0.2), "Error Opening Ogg - 9 channels", once},
        {"sixteen.ogg", OggTone(16, Rate, 0.2), "Error Opening Ogg - 16 channels", once},
        {"rate_zero.ogg", OggWithRate(2, 0), "Error Opening Ogg", once},
    };
    // A sample rate OpenAL cannot take: the top bit of the field set by damage (a negative
    // number as an int) on every decoder's channel counts, and the first rate past the most
    // music is made at.
    std::vector<Case> cases(std::begin(fixed), std::end(fixed));
    for (int channels = 1; channels <= MostChannels; ++channels)
        cases.push_back({"rate_top_bit_" + std::to_string(channels) + ".ogg", OggWithRate(channels, 0x80000000u | Rate),
                         "Error Opening Ogg - 2147505698 Hz", once});
    cases.push_back(
        {"rate_past_bound.ogg", OggWithRate(6, HighestRate + 1), "Error Opening Ogg - 384001 Hz", once});
    cases.push_back(
        {"rate_all_ones.ogg", OggWithRate(2, 0xffffffffu), "Error Opening Ogg - 4294967295 Hz", once});
    // WAV music with such a rate is refused the same way, the field logged as it stands: 0,
    // the top bit set and all ones (negative as the int the header reader takes it as), and
    // the largest positive int and the first rate past the bound, which would play as a burst.
    const uint32_t wavRates[] = {0, 0x80000000u | Rate, 0x80000000u, 0xffffffffu, 0x7fffffffu, HighestRate + 1};
    for (uint32_t rate : wavRates) {
        const std::string hz = std::to_string(rate);
        cases.push_back({"rate_" + hz + ".wav", SimpleWav(2, rate, 16, Pattern(6 * MusicBlockBytes)),
                         "Error Opening Wave - " + hz + " Hz", once});
    }
    const int fds = OpenDescriptors();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.PlayMusic_Wav_Sys(good.c_str(), 1);  // a stream plays when the next fails to start
        const std::string path = c.file.empty() ? Path(c.name) : Write(c.name, c.file);
        const size_t started = Log().size();
        Start(path, 1);
        const std::string said = Log().substr(started);
        if (c.said == once) {
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "one line: " << said;
        } else {
            EXPECT_NE(said.find("Error Opening Wave - " + path), std::string::npos) << said;
        }
        EXPECT_NE(said.find(c.log), std::string::npos) << said;
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_TRUE(Music().queue.empty());
        EXPECT_EQ(Music().state, AL_STOPPED);
        EXPECT_EQ(OpenDescriptors(), fds) << "the refused file, and the stream before it, are closed";
        const size_t before = Log().size();
        for (int pass = 0; pass < 5; ++pass) Pass();
        EXPECT_TRUE(Music().queue.empty());
        EXPECT_EQ(Log().substr(before), "");  // said once, at the start
    }
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_FALSE(Logged("Buffer Error"));
    EXPECT_FALSE(Logged("Error Reading Wave Header"));  // the effect loader's line
}

// The highest rate music may have still starts, as WAV and on either Ogg decoder, and goes to
// OpenAL as it is, without a line.
TEST_F(StreamTest, MusicAtTheHighestRatePlays) {
    const std::string wav = Write("fast.wav", SimpleWav(1, HighestRate, 16, Pattern(8 * MusicBlockBytes)));
    const std::string stereo = Write("fast.ogg", OggWithRate(2, HighestRate));
    const std::string surround = Write("fast_surround.ogg", OggWithRate(6, HighestRate));
    for (const std::string& path : {wav, stereo, surround}) {
        SCOPED_TRACE(path);
        const size_t logged = Log().size();
        Start(path, 1);
        ASSERT_EQ(ASys.MusicPlaying, path == wav ? MusicWav : MusicOgg);
        EXPECT_EQ(MusicBufferStats[MusicStatRate], static_cast<int>(HighestRate));
        for (int pass = 0; pass < 6; ++pass) Pass();
        EXPECT_EQ(Music().queue.size(), 4u);
        EXPECT_EQ(FakeAl.buffers[Music().queue.back()].frequency, static_cast<int>(HighestRate));
        EXPECT_EQ(Log().substr(logged), "");
    }
}

// Music far shorter than a block loops in every block, each of them holding sound: the stream
// rewinds once per block, so a block holds one or two rounds of the file, never none.
TEST_F(StreamTest, MusicShorterThanABlockLoopsWithSoundInEveryBlock) {
    for (int channels : {2, 6}) {
        SCOPED_TRACE(channels);
        const std::string path = Write("short.ogg", OggTone(channels, Rate, 0.01));
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 0);
        Bytes once = Queued(0);
        for (int pass = 0; pass < 5 && ASys.MusicPlaying != MusicNone; ++pass) {
            Pass();
            const Bytes& block = FakeAl.buffers[Music().queue.back()].data;
            once.insert(once.end(), block.begin(), block.end());
        }
        ASSERT_EQ(ASys.MusicPlaying, MusicNone);
        ASSERT_FALSE(once.empty());

        ASys.PlayMusic_Ogg_Sys(path.c_str(), 1);
        Bytes looped = Queued(0);
        for (int pass = 0; pass < 12; ++pass) {
            Pass();
            const Bytes& block = FakeAl.buffers[Music().queue.back()].data;
            EXPECT_FALSE(block.empty()) << "block " << pass + 1;
            // No more than the rest of one round and one whole round: a second rewind in the
            // same block would go round again and again until the block is full.
            EXPECT_LE(block.size(), 2 * once.size()) << "block " << pass + 1;
            looped.insert(looped.end(), block.begin(), block.end());
        }
        EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
        ASSERT_GT(looped.size(), 10 * once.size());
        size_t at = 0;
        while (at < looped.size() && looped[at] == once[at % once.size()]) ++at;
        EXPECT_EQ(at, looped.size()) << "the looped stream leaves the file's samples at byte " << at;
        ASys.StopMusicSys();
    }
    EXPECT_FALSE(Logged("Error"));
}

// A file that decodes nothing from its start (headers and no audio, its audio gone from the
// disk while it plays, or on libvorbisfile every audio page damaged, which it skips by their
// checksums) gives up at its first rewind that brings nothing: one line, the stream ends, no
// file is left open. Played once, such a file ends as any other does, quietly.
TEST_F(StreamTest, OggThatDecodesNothingGivesUpOnce) {
    auto headersOnly = [](const Bytes& ogg) { return Bytes(ogg.begin(), ogg.begin() + OggAudioStart(ogg)); };
    auto audioDamaged = [](Bytes ogg) {
        for (size_t i = OggAudioStart(ogg) + 40; i < ogg.size(); i += 97) ogg[i] ^= 0x5a;
        return ogg;
    };
    struct Case {
        std::string name;
        Bytes file;
        bool cutWhilePlaying;   // the file keeps only its headers once the stream has started
    };
    std::vector<Case> cases;
    for (int channels : {1, 2, 6}) {
        const Bytes tone = OggTone(channels, Rate, 1.0);
        const std::string n = std::to_string(channels);
        cases.push_back({"headers only, " + n + " channels", headersOnly(tone), false});
        if (channels > 2) cases.push_back({"every audio page damaged, " + n + " channels", audioDamaged(tone), false});
        cases.push_back({"audio cut off while playing, " + n + " channels", tone, true});
    }
    const int fds = OpenDescriptors();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write("nothing.ogg", c.file);
        for (int loop : {1, 0}) {
            SCOPED_TRACE(loop);
            const size_t logged = Log().size();
            ASys.PlayMusic_Ogg_Sys(path.c_str(), loop);
            if (c.cutWhilePlaying) {
                if (loop == 0) continue;   // it plays what it read already, and ends
                EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
                std::filesystem::resize_file(path, OggAudioStart(c.file));
            }
            for (int pass = 0; pass < 40 && ASys.MusicPlaying != MusicNone; ++pass) Pass();
            EXPECT_EQ(ASys.MusicPlaying, MusicNone);
            for (int pass = 0; pass < 5; ++pass) Pass();
            const std::string said = Log().substr(logged);
            EXPECT_EQ(said.find("Error Decoding Ogg") != std::string::npos, loop == 1) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), loop == 1 ? 1 : 0) << said;
            EXPECT_EQ(OpenDescriptors(), fds);
        }
        if (c.cutWhilePlaying) ASys.StopMusicSys();
    }
    EXPECT_EQ(OpenDescriptors(), fds);
}

// The pad byte after an odd-sized chunk is skipped: the stream starts at the data chunk and
// loops back to it.
TEST_F(StreamTest, WavStreamsWithPaddedOddChunksPlayTheirData) {
    const Bytes data = Pattern(2 * MusicBlockBytes + 1, 8);
    const Bytes block0(data.begin(), data.begin() + MusicBlockBytes);
    const Bytes block1(data.begin() + MusicBlockBytes, data.begin() + 2 * MusicBlockBytes);
    for (const NamedFile& f : PaddedWavs(FmtBody(2, Rate, 16), data)) {
        SCOPED_TRACE(f.name);
        ASys.PlayMusic_Wav_Sys(Write(f.name, f.bytes).c_str(), 1);
        ASSERT_EQ(ASys.MusicPlaying, MusicWav);
        EXPECT_EQ(MusicBufferStats[MusicStatFormat], AL_FORMAT_STEREO16);
        for (int pass = 0; pass < 3; ++pass) ASys.HandleMusicSys();
        ASSERT_EQ(Music().queue.size(), 3u);  // two blocks, the odd byte dropped, the file rewound
        EXPECT_EQ(Queued(0), block0);
        EXPECT_EQ(Queued(1), block1);
        EXPECT_EQ(Queued(2), block0);
    }
    EXPECT_FALSE(Logged("Error"));
    EXPECT_FALSE(Logged("Wave Chunk"));
}

// Mono and stereo on stb_vorbis, 5.1 and 7.1 on libvorbisfile mixed to stereo: the same
// blocks, the same end. Looping, every block is whole: the end of the file runs on into its
// start inside one block, so what is queued is the file over and over, no gap, no empty block.
TEST_F(StreamTest, OggStreamDecodesLoopsAndEnds) {
    struct Case {
        int channels, format, queuedChannels;
    };
    const Case cases[] = {
        {1, AL_FORMAT_MONO16, 1}, {2, AL_FORMAT_STEREO16, 2}, {6, AL_FORMAT_STEREO16, 2}, {8, AL_FORMAT_STEREO16, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        const Bytes ogg = OggTone(c.channels, Rate, 1.0);
        ASSERT_FALSE(ogg.empty());
        const std::string path = Write("tone.ogg", ogg);
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 1);
        ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
        EXPECT_EQ(MusicBufferStats[MusicStatFormat], c.format);
        EXPECT_EQ(MusicBufferStats[MusicStatChannels], c.queuedChannels);
        EXPECT_EQ(MusicBufferStats[MusicStatRate], Rate);
        ASSERT_EQ(Music().queue.size(), 1u);
        const Bytes first = Queued(0);
        EXPECT_EQ(first.size(), OggBlockSamples * sizeof(short)) << "a whole block";
        EXPECT_EQ(first.size() % (2 * c.queuedChannels), 0u);

        Bytes looped = first;   // about three rounds of the file and more
        for (int pass = 0; pass < 9; ++pass) {
            Pass();
            const Bytes& block = FakeAl.buffers[Music().queue.back()].data;
            EXPECT_EQ(block.size(), first.size()) << "block " << pass + 1 << " is whole";
            looped.insert(looped.end(), block.begin(), block.end());
        }
        EXPECT_EQ(ASys.MusicPlaying, MusicOgg);

        // Without looping the stream ends at the empty block and the rest plays out.
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 0);
        EXPECT_EQ(MusicBufferTick, -2);
        ASSERT_EQ(Music().queue.size(), 1u);
        Bytes once = Queued(0);
        int passes = 0;
        while (ASys.MusicPlaying != MusicNone && passes < 100) {
            Pass();
            const Bytes& block = FakeAl.buffers[Music().queue.back()].data;
            once.insert(once.end(), block.begin(), block.end());
            ++passes;
        }
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_TRUE(FakeAl.buffers[Music().queue.back()].data.empty());
        EXPECT_EQ(Music().state, AL_PLAYING);
        ASSERT_EQ(once.size(), static_cast<size_t>(Rate) * c.queuedChannels * 2);  // one second of samples

        ASSERT_GT(looped.size(), 2 * once.size());
        size_t at = 0;
        while (at < looped.size() && looped[at] == once[at % once.size()]) ++at;
        EXPECT_EQ(at, looped.size()) << "the looped stream leaves the file's samples at byte " << at;
    }
    EXPECT_FALSE(Logged("Error"));
}

namespace {

// Where each speaker of the Vorbis channel order is heard, before the mix is scaled.
struct SpeakerGains {
    const char* name;
    double left, right;
};
constexpr double Half = 0.70710678;   // -3 dB
constexpr SpeakerGains Speakers[] = {
    {"FL", 1, 0},      {"FR", 0, 1},      {"C", Half, Half}, {"SL", Half, 0}, {"SR", 0, Half},
    {"RL", Half, 0},   {"RR", 0, Half},   {"RC", Half, Half}, {"LFE", 0, 0},
};
SpeakerGains Speaker(const std::string& name) {
    for (const SpeakerGains& s : Speakers)
        if (name == s.name) return s;
    ADD_FAILURE() << "no speaker " << name;
    return {"", 0, 0};
}

// The Vorbis channel order of each count from 3 to 8.
struct Layout {
    int channels;
    std::vector<std::string> speakers;
    // The mix is scaled by the fuller side's sum of weights, so full scale in every channel
    // reaches full scale on that side and no further.
    double Scale() const {
        double left = 0, right = 0;
        for (const std::string& s : speakers) left += Speaker(s).left, right += Speaker(s).right;
        return 1 / std::max(left, right);
    }
};
const Layout Layouts[] = {
    {3, {"FL", "C", "FR"}},
    {4, {"FL", "FR", "RL", "RR"}},
    {5, {"FL", "C", "FR", "RL", "RR"}},
    {6, {"FL", "C", "FR", "RL", "RR", "LFE"}},
    {7, {"FL", "C", "FR", "SL", "SR", "RC", "LFE"}},
    {8, {"FL", "C", "FR", "SL", "SR", "RL", "RR", "LFE"}},
};
const Layout& LayoutOf(int channels) { return Layouts[channels - 3]; }

constexpr double ToneLevel = 0.5;   // amplitude of the tone put in a channel
// Each channel its own pitch, so a channel heard in another's place, or a tone decoded at
// the wrong frequency, shows.
double PitchOf(int channel) { return 330 + 110 * channel; }

}  // namespace

// Music of 3 to 8 channels is decoded with all its channels and mixed to stereo in the Vorbis
// channel order. A tone in one channel at a time comes out on the side or sides its speaker
// stands, at the level of its weight in the scaled mix and at its own pitch, and not at all
// on the other side; LFE is heard nowhere. 48 kHz is where the stereo decoder got 5.1 wrong.
TEST_F(StreamTest, EachChannelOfSurroundMusicIsHeardOnItsSide) {
    struct Case {
        int channels, rate;
    };
    const Case cases[] = {{3, 44100}, {4, 44100}, {5, 44100}, {6, 44100}, {7, 44100}, {8, 44100}, {6, 48000}};
    const double seconds = 0.5;
    for (const Case& c : cases) {
        const Layout& layout = LayoutOf(c.channels);
        for (int channel = 0; channel < c.channels; ++channel) {
            const std::string& speaker = layout.speakers[channel];
            SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate) + " Hz, " + speaker);
            const double hz = PitchOf(channel);
            const Bytes ogg = OggEncode(c.channels, c.rate, static_cast<int>(seconds * c.rate), [&](int ch, int i) {
                return ch == channel ? ToneLevel * std::sin(2 * M_PI * hz * i / c.rate) : 0.0;
            });
            ASSERT_FALSE(ogg.empty());
            const Stereo out = PlayToEnd(Write("surround.ogg", ogg));
            ASSERT_EQ(out.size(), static_cast<size_t>(2 * seconds * c.rate)) << "the whole file, every frame";
            EXPECT_EQ(MusicBufferStats[MusicStatRate], c.rate);
            // The middle of the file, away from the encoder's edges.
            const size_t from = out.size() / 2 / 10, to = out.size() / 2 - from;
            const double gains[2] = {Speaker(speaker).left, Speaker(speaker).right};
            for (int side = 0; side < 2; ++side) {
                SCOPED_TRACE(side == 0 ? "left" : "right");
                const double rms = ChannelRms(out, side, from, to);
                if (gains[side] == 0) {
                    EXPECT_LT(rms, 0.001) << "silent on this side";
                    continue;
                }
                const double expected = ToneLevel * gains[side] * layout.Scale();
                EXPECT_NEAR(rms * std::sqrt(2.0), expected, 0.1 * expected) << "the level of its weight";
                EXPECT_NEAR(ToneAmplitude(out, side, hz, c.rate, from, to), expected, 0.1 * expected)
                    << "its own pitch, " << hz << " Hz";
            }
        }
    }
    EXPECT_FALSE(Logged("Error"));
}

// Full scale in every channel at once, in phase, is the loudest a surround file can be: it
// reaches full scale on the fuller side and never clips.
TEST_F(StreamTest, SurroundMusicAtFullScaleInEveryChannelDoesNotClip) {
    const int rate = 44100;
    const double level = 0.9, hz = 440;
    for (const Layout& layout : Layouts) {
        SCOPED_TRACE(std::to_string(layout.channels) + " channels");
        const Bytes ogg = OggEncode(layout.channels, rate, rate / 2, [&](int, int i) {
            return level * std::sin(2 * M_PI * hz * i / rate);
        });
        const Stereo out = PlayToEnd(Write("loud.ogg", ogg));
        ASSERT_EQ(out.size(), static_cast<size_t>(rate));
        const size_t clipped = static_cast<size_t>(
            std::count_if(out.begin(), out.end(), [](int16_t v) { return v >= 32767 || v <= -32767; }));
        EXPECT_EQ(clipped, 0u);
        double sums[2] = {0, 0};
        for (const std::string& s : layout.speakers) sums[0] += Speaker(s).left, sums[1] += Speaker(s).right;
        const size_t from = rate / 20, to = rate / 2 - from;
        for (int side = 0; side < 2; ++side) {
            const double expected = level * sums[side] * layout.Scale();
            EXPECT_NEAR(ChannelRms(out, side, from, to) * std::sqrt(2.0), expected, 0.05 * expected) << side;
        }
    }
}

// A surround file cut short, or with a damaged audio page, plays what it holds and ends
// there; chained files play on while their links keep the first one's channels and rate, and
// end at the first link that does not or whose headers are damaged (a codebook byte changed
// under a good page checksum made libvorbis divide by zero on the next read after the error).
// Such a file ends, or goes round, as at its end: quietly, every looping block whole.
TEST_F(StreamTest, DamagedCutAndChainedSurroundMusicPlaysWhatItHolds) {
    const int rate = 44100, frames = rate / 2;
    auto tone = [&](int channels, int linkRate, int serial, int length, const HeaderEdit& edit = {}) {
        return OggEncode(
            channels, linkRate, length,
            [&](int ch, int i) { return ch == 0 ? 0.5 * std::sin(2 * M_PI * 440 * i / linkRate) : 0.0; }, edit, serial);
    };
    const Bytes whole = tone(6, rate, 1, frames);
    auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    auto damagedLink = [&](size_t packet, size_t at) {
        return join(whole, tone(6, rate, 2, frames, [=](HeaderPackets& h) { h.at(packet).at(at) ^= 1; }));
    };
    // Two seconds of a tone make two audio pages after the 7 kB of headers: the last 1000
    // bytes lie in the second, the 40 from 3000 before the end in the first.
    const int longFrames = 2 * rate;
    const Bytes longer = tone(6, rate, 1, longFrames);
    Bytes damaged = longer;
    for (size_t i = longer.size() - 3000; i < longer.size() - 2960; ++i) damaged[i] ^= 0x5a;
    struct Case {
        const char* name;
        Bytes file;
        size_t minFrames, maxFrames;   // the stereo frames it plays
    };
    const Case cases[] = {
        {"cut in its audio", Bytes(longer.begin(), longer.end() - 1000), 1, longFrames - 1},
        {"a damaged audio page", damaged, 1, longFrames - 1},
        {"two 5.1 links", join(whole, tone(6, rate, 2, frames)), 2 * frames, 2 * frames},
        {"5.1, then mono", join(whole, tone(1, rate, 2, frames)), frames, frames},
        {"5.1, then 7.1", join(whole, tone(8, rate, 2, frames)), frames, frames},
        {"5.1, then 5.1 at 48 kHz", join(whole, tone(6, 48000, 2, frames)), frames, frames},
        // The first codebook's code lengths, and a byte far into the codebooks.
        {"5.1, then 5.1 with a damaged first codebook", damagedLink(2, 21), frames, frames},
        {"5.1, then 5.1 with damaged later codebooks", damagedLink(2, 3000), frames, frames},
        {"5.1, then 5.1 with a damaged identification header", damagedLink(0, 0), frames, frames},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t logged = Log().size();
        const std::string path = Write("odd.ogg", c.file);
        const Stereo out = PlayToEnd(path);
        EXPECT_GE(out.size() / 2, c.minFrames);
        EXPECT_LE(out.size() / 2, c.maxFrames);
        EXPECT_GT(ChannelRms(out, 0), 0.05) << "front left is heard";
        EXPECT_LT(ChannelRms(out, 1), 0.001);
        // Looping, it goes round again and again.
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 1);
        for (int pass = 0; pass < 60; ++pass) {
            Pass();
            EXPECT_EQ(FakeAl.buffers[Music().queue.back()].data.size(), OggBlockSamples * sizeof(short))
                << "block " << pass + 1 << " is whole";
        }
        EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
        ASys.StopMusicSys();
        EXPECT_EQ(Log().substr(logged), "");
    }
}

// Shutdown with music playing ends the stream first: its source stopped and emptied, its
// decoder and file closed, before the context goes.
TEST_F(StreamTest, CloseEndsTheStream) {
    const std::string wav = Write("m.wav", SimpleWav(2, Rate, 16, Pattern(8 * MusicBlockBytes)));
    const std::string ogg = Write("m.ogg", OggTone(2, Rate, 0.5));
    const std::string surround = Write("surround.ogg", OggTone(6, Rate, 0.5));
    for (const std::string& path : {wav, ogg, surround}) {
        SCOPED_TRACE(path);
        OpenFakeAudioDevice();
        const int fds = OpenDescriptors();
        Start(path, 1);
        Pass();
        ASSERT_EQ(OpenDescriptors(), fds + 1);
        ASys.Close();
        EXPECT_EQ(OpenDescriptors(), fds);
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_EQ(Music().state, AL_STOPPED);
        EXPECT_TRUE(Music().queue.empty());
        EXPECT_TRUE(FakeAl.contextDestroyed);
        EXPECT_EQ(ALctx, nullptr);
    }
}

// Damaged headers never reach the decoder: each file logs "Error Opening Ogg", starts no
// stream and leaves no file open, and the next good file plays. A file with comments of every
// size the packet holds still plays.
TEST_F(StreamTest, OggFilesWithDamagedHeadersAreRefused) {
    const std::string good = Write("good.ogg", OggTone(1, 8000, 0.25));
    const int fds = OpenDescriptors();
    std::vector<NamedFile> damaged = DamagedOggs();
    for (NamedFile& f : DamagedOggs(6, 44100)) damaged.push_back({"5.1 " + f.name, f.bytes});
    for (const NamedFile& f : damaged) {
        SCOPED_TRACE(f.name);
        ASSERT_FALSE(f.bytes.empty());
        ASys.PlayMusic_Ogg_Sys(good.c_str(), 1);
        ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
        Log();
        log.clear();
        ASys.PlayMusic_Ogg_Sys(Write(f.name, f.bytes).c_str(), 1);
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_TRUE(Music().queue.empty());
        EXPECT_TRUE(Logged("Error Opening Ogg"));
        ASys.HandleMusicSys();
        EXPECT_TRUE(Music().queue.empty());
    }
    EXPECT_EQ(OpenDescriptors(), fds);

    const std::string longText(70000, 'w');   // the comments span two pages
    const Bytes comments = CommentPacket({"brindle"}, {{""}, {"TITLE=Tide"}, {"NOTE=" + longText}});
    const std::string commented =
        Write("commented.ogg", OggTone(1, 8000, 0.25, 440, [&](HeaderPackets& h) { h.at(1) = comments; }));
    ASys.PlayMusic_Ogg_Sys(commented.c_str(), 0);
    ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
    size_t samples = FakeAl.buffers[Music().queue.back()].data.size() / 2;
    for (int pass = 0; ASys.MusicPlaying == MusicOgg && pass < 100; ++pass) {
        Pass();
        samples += FakeAl.buffers[Music().queue.back()].data.size() / 2;
    }
    EXPECT_EQ(samples, 2000u);   // a quarter of a second at 8000 Hz
}

// Streams replaced by streams, stopped, ended and started again keep no file open.
TEST_F(StreamTest, StreamsReleaseTheirFiles) {
    const std::string wav = Write("m.wav", SimpleWav(2, Rate, 16, Pattern(3 * MusicBlockBytes)));
    const std::string ogg = Write("m.ogg", OggTone(2, Rate, 0.5));
    const std::string surround = Write("surround.ogg", OggTone(6, Rate, 0.5));
    const int fds = OpenDescriptors();
    for (int round = 0; round < 40; ++round) {
        ASys.PlayMusic_Ogg_Sys(surround.c_str(), 1);
        Pass();
        ASys.PlayMusic_Ogg_Sys(surround.c_str(), 0);
        PassesToEnd();
        ASys.PlayMusic_Wav_Sys(wav.c_str(), 1);
        Pass();
        ASys.PlayMusic_Ogg_Sys(ogg.c_str(), 1);  // replaces the WAV stream
        Pass();
        ASys.PlayMusic_Wav_Sys(wav.c_str(), 1);
        ASys.StopMusicSys();
        ASys.PlayMusic_Ogg_Sys(ogg.c_str(), 1);
        ASys.StopMusicSys();
        ASys.PlayMusic_Ogg_Sys(ogg.c_str(), 0);
        PassesToEnd();
        ASys.PlayMusic_Wav_Sys(wav.c_str(), 0);
        PassesToEnd();
    }
    EXPECT_EQ(OpenDescriptors(), fds);
    ASys.PlayMusic_Ogg_Sys(ogg.c_str(), 1);
    EXPECT_EQ(OpenDescriptors(), fds + 1);  // one stream, one file
    ASys.StopMusicSys();
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_FALSE(Logged("Error"));
}
