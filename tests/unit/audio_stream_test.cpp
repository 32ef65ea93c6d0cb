// The music stream through the OpenAL fake: priming four buffers one per pass, refilling a
// buffer only once one has played, WAV streams that start and loop at their data chunk (also
// after padded odd chunks), formats OpenAL refuses, Ogg streams decoded by stb_vorbis (more
// than two channels mixed to stereo), the end with and without looping, stopping, shutdown,
// and streams started and stopped many times without leaking their files.
#include <cmath>
#include <cstdint>
#include <vector>

#include "audio_fixture.h"

using namespace audio_files;

namespace {

constexpr int Rate = 22050;

class StreamTest : public AudioTest {
protected:
    FakeAlSource& Music() { return Src(MusicSource); }
    const Bytes& Queued(size_t i) { return FakeAl.buffers[Music().queue.at(i)].data; }
    // One main-loop pass after the player used up n buffers.
    void Pass(int played = 1) {
        FakeAlPlayBuffers(ALsource[MusicSource], played);
        ASys.HandleMusicSys();
    }
    // Passes until the stream ends, at most limit.
    int PassesToEnd(int limit = 1000) {
        int n = 0;
        while (ASys.MusicPlaying != MusicNone && n < limit) Pass(), ++n;
        return n;
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

TEST_F(StreamTest, LoopValuesOtherThanOneEndTheStream) {
    const std::string path = Write("m.wav", SimpleWav(1, Rate, 8, Pattern(2 * MusicBlockBytes)));
    for (int loop : {0, 2, -1}) {
        ASys.PlayMusic_Wav_Sys(path.c_str(), loop);
        EXPECT_EQ(ASys.MusicLoop, loop);
        EXPECT_LT(PassesToEnd(), 10) << loop;
    }
    ASys.PlayMusic_Wav_Sys(path.c_str(), 1);
    EXPECT_EQ(PassesToEnd(50), 50);
}

TEST_F(StreamTest, SettingsReachTheMusicSourceOnEveryPass) {
    ASys.PlayMusic_Wav_Sys(Write("m.wav", SimpleWav(1, Rate, 16, Pattern(8 * MusicBlockBytes))).c_str(), 1);
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
    ASys.PlayMusic_Wav_Sys(Path("m.wav").c_str(), 1);
    EXPECT_FLOAT_EQ(Music().pitch, 1);
    EXPECT_FLOAT_EQ(Music().gain, 0.6f);
    EXPECT_FLOAT_EQ(Music().position[0], 0);
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
    struct Case {
        const char* name;
        Bytes file;  // empty: no file at all
        bool ogg;
        const char* log;
    };
    const Case cases[] = {
        {"missing.wav", {}, false, "Error Opening Wave - "},
        {"nofmt.wav", Riff({{"data", Pattern(4 * MusicBlockBytes)}}), false, "Error Opening Wave - "},
        {"nodata.wav", Riff({{"fmt ", FmtBody(1, Rate, 16)}, {"LIST", Pattern(40)}}), false, "Error Opening Wave - "},
        {"nochannels.wav", SimpleWav(0, Rate, 16, Pattern(4 * MusicBlockBytes)), false, "Bad Wave Format"},
        {"cut.wav", Riff({{"fmt ", FmtBody(1, Rate, 16)}, {"data", Pattern(100), 1 << 30}}), false, "Wave Chunk Too Large"},
        // Formats OpenAL has no name for: refused at the start rather than on every refill.
        {"bits24.wav", SimpleWav(1, Rate, 24, Pattern(6 * MusicBlockBytes)), false, "Bad Wave Format 1 channels 24 bits"},
        {"bits32.wav", SimpleWav(2, Rate, 32, Pattern(6 * MusicBlockBytes)), false, "Bad Wave Format 2 channels 32 bits"},
        {"six.wav", SimpleWav(6, Rate, 16, Pattern(6 * MusicBlockBytes)), false, "Bad Wave Format 6 channels 16 bits"},
        {"missing.ogg", {}, true, "Error Opening Ogg"},
        {"notogg.ogg", SimpleWav(1, Rate, 16, Pattern(100)), true, "Error Opening Ogg"},
    };
    const int fds = OpenDescriptors();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.PlayMusic_Wav_Sys(good.c_str(), 1);  // a stream plays when the next fails to start
        const std::string path = c.file.empty() ? Path(c.name) : Write(c.name, c.file);
        if (c.ogg)
            ASys.PlayMusic_Ogg_Sys(path.c_str(), 1);
        else
            ASys.PlayMusic_Wav_Sys(path.c_str(), 1);
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_TRUE(Music().queue.empty());
        EXPECT_EQ(Music().state, AL_STOPPED);
        EXPECT_TRUE(Logged(c.log));
        if (!c.ogg) {
            EXPECT_TRUE(Logged("Error Opening Wave - " + path));
        }
        const size_t before = Log().size();
        for (int pass = 0; pass < 5; ++pass) Pass();
        EXPECT_TRUE(Music().queue.empty());
        EXPECT_EQ(Log().substr(before), "");  // said once, at the start
    }
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_FALSE(Logged("Buffer Error"));
    EXPECT_FALSE(Logged("Error Reading Wave Header"));  // the effect loader's line
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

TEST_F(StreamTest, OggStreamDecodesLoopsAndEnds) {
    struct Case {
        int channels, format;
    };
    for (const Case& c : {Case{1, AL_FORMAT_MONO16}, Case{2, AL_FORMAT_STEREO16}}) {
        SCOPED_TRACE(c.channels);
        const Bytes ogg = OggTone(c.channels, Rate, 1.0);
        ASSERT_FALSE(ogg.empty());
        const std::string path = Write("tone.ogg", ogg);
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 1);
        ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
        EXPECT_EQ(MusicBufferStats[MusicStatFormat], c.format);
        EXPECT_EQ(MusicBufferStats[MusicStatChannels], c.channels);
        EXPECT_EQ(MusicBufferStats[MusicStatRate], Rate);
        ASSERT_EQ(Music().queue.size(), 1u);
        const Bytes first = Queued(0);
        EXPECT_GT(first.size(), 0u);
        EXPECT_LE(first.size(), OggBlockSamples * sizeof(short));
        EXPECT_EQ(first.size() % (2 * c.channels), 0u);

        // Looping: after the empty block at the end, decoding starts over.
        size_t total = first.size();
        int passes = 0;
        while (FakeAl.buffers[Music().queue.back()].data.size() > 0 && passes < 100) {
            Pass();
            total += FakeAl.buffers[Music().queue.back()].data.size();
            ++passes;
        }
        EXPECT_EQ(total, static_cast<size_t>(Rate) * c.channels * 2);  // one second of samples
        EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
        Pass();
        EXPECT_EQ(FakeAl.buffers[Music().queue.back()].data, first);

        // Without looping the stream ends at the empty block and the rest plays out.
        ASys.PlayMusic_Ogg_Sys(path.c_str(), 0);
        EXPECT_EQ(MusicBufferTick, -2);
        EXPECT_EQ(Music().queue.size(), 1u);
        passes = 0;
        while (ASys.MusicPlaying != MusicNone && passes < 100) Pass(), ++passes;
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_TRUE(FakeAl.buffers[Music().queue.back()].data.empty());
        EXPECT_EQ(Music().state, AL_PLAYING);
    }
    EXPECT_FALSE(Logged("Error"));
}

namespace {

// Root mean square of one channel of interleaved 16-bit stereo.
double ChannelRms(const std::vector<int16_t>& stereo, int channel) {
    double sum = 0;
    for (size_t i = channel; i < stereo.size(); i += 2) sum += static_cast<double>(stereo[i]) * stereo[i];
    return std::sqrt(sum / static_cast<double>(stereo.size() / 2));
}

}  // namespace

// More channels than two (ffmpeg writes six from 5.1 sources) are mixed down to stereo by the
// decoder: every block is accepted, each channel is heard on its side, and the stream runs its
// full length with no refused block. (At 22,050 Hz stb_vorbis decodes libvorbis's multichannel
// files at the levels libvorbis does; at 44.1 and 48 kHz it gets their levels wrong.)
TEST_F(StreamTest, OggWithMoreThanTwoChannelsPlaysMixedToStereo) {
    struct Case {
        const char* name;
        int channels;
        std::vector<double> gains;  // the tone's level in each channel
        bool left, right;           // where it is heard
    };
    // 5.1 in Vorbis order: front left, centre, front right, rear left, rear right, LFE.
    const Case cases[] = {
        {"5.1, front left", 6, {1, 0, 0, 0, 0, 0}, true, false},
        {"5.1, centre", 6, {0, 1, 0, 0, 0, 0}, true, true},
        {"5.1, front right", 6, {0, 0, 1, 0, 0, 0}, false, true},
        {"5.1, rear right", 6, {0, 0, 0, 0, 1, 0}, false, true},
        {"three channels, right", 3, {0, 0, 1}, false, true},
        {"7.1", 8, {1, 1, 1, 1, 1, 1, 1, 1}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes ogg = OggTone(c.channels, Rate, 1.0, 440, {}, c.gains);
        ASSERT_FALSE(ogg.empty());
        ASys.PlayMusic_Ogg_Sys(Write("surround.ogg", ogg).c_str(), 0);
        ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
        EXPECT_EQ(MusicBufferStats[MusicStatFormat], AL_FORMAT_STEREO16);
        EXPECT_EQ(MusicBufferStats[MusicStatChannels], 2);
        std::vector<int16_t> samples;
        auto take = [&] {
            const Bytes& block = FakeAl.buffers[Music().queue.back()].data;
            EXPECT_EQ(block.size() % 4, 0u);
            for (size_t i = 0; i + 1 < block.size(); i += 2)
                samples.push_back(static_cast<int16_t>(block[i] | block[i + 1] << 8));
        };
        take();
        for (int pass = 0; ASys.MusicPlaying == MusicOgg && pass < 100; ++pass) Pass(), take();
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_EQ(samples.size(), static_cast<size_t>(2 * Rate));  // one second, two channels
        EXPECT_EQ(Music().queue.size(), static_cast<size_t>(MusicBuffers));
        const double heard = 0.1 * 32767;   // well above the coding noise of a silent channel
        EXPECT_EQ(ChannelRms(samples, 0) > heard, c.left) << ChannelRms(samples, 0);
        EXPECT_EQ(ChannelRms(samples, 1) > heard, c.right) << ChannelRms(samples, 1);
    }
    EXPECT_FALSE(Logged("Buffer Error"));
    EXPECT_FALSE(Logged("Error"));
}

// Shutdown with music playing ends the stream first: its source stopped and emptied, its
// decoder and file closed, before the context goes.
TEST_F(StreamTest, CloseEndsTheStream) {
    const std::string wav = Write("m.wav", SimpleWav(2, Rate, 16, Pattern(8 * MusicBlockBytes)));
    const std::string ogg = Write("m.ogg", OggTone(2, Rate, 0.5));
    for (bool isOgg : {false, true}) {
        SCOPED_TRACE(isOgg ? "ogg" : "wav");
        OpenFakeAudioDevice();
        const int fds = OpenDescriptors();
        if (isOgg)
            ASys.PlayMusic_Ogg_Sys(ogg.c_str(), 1);
        else
            ASys.PlayMusic_Wav_Sys(wav.c_str(), 1);
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
    for (const NamedFile& f : DamagedOggs()) {
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
    const int fds = OpenDescriptors();
    for (int round = 0; round < 40; ++round) {
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
