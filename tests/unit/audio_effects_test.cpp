// Sound slots and effects through the OpenAL fake: WAV files with every chunk layout the
// loader meets (padded odd chunks among them, and broken files) into slot buffers, effects
// rotating over sources 0..30 with clamped pitch, volume and pan, reloading a slot that is
// playing, and no calls without a context.
#include "audio_fixture.h"

using namespace audio_files;

namespace {
constexpr int Slot = 7;
}

TEST_F(AudioTest, WavFilesLoadIntoTheSlotBuffer) {
    const Bytes a = Pattern(400, 1), b = Pattern(300, 2), odd = Pattern(401, 4);
    struct Case {
        const char* name;
        Bytes file;
        Bytes data;       // expected buffer contents (empty: nothing loaded)
        int format;       // expected buffer format
        int frames;       // expected SFXData frame count
        const char* log;  // expected in the log ("" for none)
    };
    const Case cases[] = {
        {"8-bit mono", SimpleWav(1, 11025, 8, a), a, AL_FORMAT_MONO8, 400, "     Load 400 bytes"},
        {"8-bit stereo", SimpleWav(2, 22050, 8, a), a, AL_FORMAT_STEREO8, 200, "     Load 400 bytes"},
        {"16-bit mono", SimpleWav(1, 44100, 16, a), a, AL_FORMAT_MONO16, 200, "     Load 400 bytes"},
        {"16-bit stereo", SimpleWav(2, 44100, 16, a), a, AL_FORMAT_STEREO16, 100, "     Load 400 bytes"},
        {"long format chunk and a chunk before the data",
         Riff({{"fmt ", FmtBody(1, 8000, 16, 1, 2)}, {"LIST", Pattern(33)}, {"data", a}}), a, AL_FORMAT_MONO16,
         200, ""},
        {"two data chunks: the second stays", Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"data", a}, {"data", b}}), b,
         AL_FORMAT_MONO8, 300, "     Load 300 bytes"},
        {"a chunk after the data", Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"data", a}, {"cue ", Pattern(12)}}), a,
         AL_FORMAT_MONO8, 400, ""},
        {"odd data chunk without a pad byte", Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"data", odd}}), odd,
         AL_FORMAT_MONO8, 401, "     Load 401 bytes"},
        {"odd data chunk with its pad byte", Riff({{"fmt ", FmtBody(1, 8000, 16)}, {"data", odd}}, Padding::PadOdd),
         odd, AL_FORMAT_MONO16, 200, "     Load 401 bytes"},
        {"odd data chunk, its pad byte and a chunk after it",
         Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"data", odd}, {"LIST", ListInfo({{"INAM", "Tide"}}, false)}},
              Padding::PadOdd),
         odd, AL_FORMAT_MONO8, 401, "     Load 401 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASys.GetWAV(Slot, Write("s.wav", c.file).c_str());
        EXPECT_EQ(ALbufferActive[Slot], 1);
        EXPECT_EQ(SlotBuffer(Slot).data, c.data);
        EXPECT_EQ(SlotBuffer(Slot).format, c.format);
        EXPECT_EQ(SFXData[Slot][SfxBytes], static_cast<int>(c.data.size()));
        EXPECT_EQ(SFXData[Slot][SfxFrames], c.frames);
        EXPECT_TRUE(Logged(c.log));
    }
    EXPECT_EQ(SFXData[Slot][SfxRate], 8000);
    EXPECT_FALSE(Logged("Error"));
    EXPECT_FALSE(Logged("Wave Chunk"));
}

// The pad byte after an odd-sized chunk is skipped, so the chunks after it are found.
TEST_F(AudioTest, WavFilesWithPaddedOddChunksLoad) {
    const Bytes data = Pattern(400, 6);
    for (const auto& [bits, format] : {std::pair{8, AL_FORMAT_STEREO8}, std::pair{16, AL_FORMAT_STEREO16}}) {
        for (const NamedFile& f : PaddedWavs(FmtBody(2, 22050, bits), data)) {
            SCOPED_TRACE(f.name + " " + std::to_string(bits) + " bits");
            SFXData[Slot][SfxBytes] = 0;
            ASys.GetWAV(Slot, Write(f.name, f.bytes).c_str());
            EXPECT_EQ(SlotBuffer(Slot).data, data);
            EXPECT_EQ(SlotBuffer(Slot).format, format);
            EXPECT_EQ(SlotBuffer(Slot).frequency, 22050);
            EXPECT_EQ(SFXData[Slot][SfxBytes], 400);
        }
    }
    EXPECT_FALSE(Logged("Error"));
    EXPECT_FALSE(Logged("Wave Chunk"));
}

// Each of these leaves the slot with a new, empty buffer and no huge allocation or crash.
TEST_F(AudioTest, BrokenWavFilesLoadNothing) {
    const Bytes a = Pattern(400);
    Bytes cutSize = Riff({{"fmt ", FmtBody(1, 8000, 8)}});
    PutTag(cutSize, "data");
    PutLE(cutSize, 400, 2);  // the size field ends with the file
    struct Case {
        const char* name;
        Bytes file;
        const char* log;
    };
    const char* refused = "Error Reading Wave Header";
    const Bytes whole = SimpleWav(1, 8000, 8, a);
    const Case cases[] = {
        {"first chunk is not the format", Riff({{"LIST", Pattern(8)}, {"fmt ", FmtBody(1, 8000, 8)}, {"data", a}}),
         refused},
        {"not PCM", Riff({{"fmt ", FmtBody(1, 8000, 32, 3)}, {"data", a}}), refused},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, refused},
        {"not WAVE", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, refused},
        {"empty file", Bytes{}, refused},
        {"cut inside the format chunk", Bytes(whole.begin(), whole.begin() + 21), refused},
        {"no channels", SimpleWav(0, 8000, 8, a), "Bad Wave Format 0 channels 8 bits"},
        {"four bits", SimpleWav(1, 8000, 4, a), "Bad Wave Format 1 channels 4 bits"},
        {"data larger than the file", Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"data", a, 5000}}),
         "Wave Chunk Too Large 5000"},
        {"absurd chunk size", Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"LIST", Pattern(8), 0x7ffffff0}, {"data", a}}),
         "Wave Chunk Too Large 2147483632"},
        {"negative chunk size", Riff({{"fmt ", FmtBody(1, 8000, 8)}, {"data", a, 0xfffffff0}}),
         "Wave Chunk Too Large -16"},
        {"absurd format chunk", Riff({{"fmt ", FmtBody(1, 8000, 8), 0x7fff0000}, {"data", a}}),
         "Wave Chunk Too Large"},
        {"chunk size cut off", cutSize, "Wave Chunk Size Missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SFXData[Slot][SfxBytes] = 0;
        const size_t before = Log().size();
        ASys.GetWAV(Slot, Write("bad.wav", c.file).c_str());
        EXPECT_EQ(ALbufferActive[Slot], 1);
        EXPECT_TRUE(SlotBuffer(Slot).data.empty());
        EXPECT_EQ(SFXData[Slot][SfxBytes], 0);
        // Each refusal says why in one line.
        const std::string said = Log().substr(before);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(c.log), std::string::npos) << said;
    }
    EXPECT_FALSE(Logged("Load"));
}

TEST_F(AudioTest, LoaderReportsFilesItCannotUse) {
    ASys.GetWAV(Slot, Path("missing.wav").c_str());
    EXPECT_TRUE(Logged("Error Opening Wave"));
    EXPECT_EQ(ALbufferActive[Slot], 1);  // a silent slot: playing it is harmless
    ASys.PlayWAV(Slot, 1, 1, 0, 0);
    EXPECT_EQ(Src(1).plays, 1);

    // 24-bit PCM has no OpenAL format: the upload is refused and reported.
    ASys.GetWAV(Slot, Write("24.wav", SimpleWav(1, 8000, 24, Pattern(300))).c_str());
    EXPECT_TRUE(Logged("     Load 300 bytes"));
    EXPECT_TRUE(Logged("Post Error 40962"));
    EXPECT_EQ(SFXData[Slot][SfxBytesPerSample], 3);
    EXPECT_EQ(SFXData[Slot][SfxFrames], 100);
}

TEST_F(AudioTest, ReloadingASlotFreesItFromTheSourcesPlayingIt) {
    const std::string path = Write("a.wav", SimpleWav(1, 8000, 8, Pattern(100)));
    ASys.GetWAV(Slot, path.c_str());
    ASys.GetWAV(0, path.c_str());
    EXPECT_FALSE(Logged("Freeing Buffer"));  // no source holds slot 0 before any effect
    const unsigned oldBuffer = ALbuffer[Slot];
    ASys.PlayWAV(Slot, 1, 1, 0, 1);
    ASys.PlayWAV(0, 1, 1, 0, 0);
    ASys.PlayWAV(Slot, 1, 1, 0, 0);

    ASys.GetWAV(Slot, path.c_str());
    EXPECT_TRUE(Logged("Freeing Buffer 1"));
    EXPECT_TRUE(Logged("Freeing Buffer 3"));
    EXPECT_FALSE(Logged("Freeing Buffer 2"));
    EXPECT_FALSE(Logged("Buffer Error"));
    EXPECT_EQ(ALsourcebuffer[1], -1);
    EXPECT_EQ(ALsourcebuffer[2], 0);
    EXPECT_EQ(ALsourcebuffer[3], -1);
    EXPECT_EQ(Src(1).state, AL_STOPPED);
    EXPECT_EQ(Src(2).state, AL_PLAYING);
    EXPECT_TRUE(FakeAl.buffers[oldBuffer].deleted);
    EXPECT_NE(ALbuffer[Slot], oldBuffer);
    EXPECT_EQ(SlotBuffer(Slot).data.size(), 100u);
}

// Taken while the program loads, before any test plays an effect.
static const std::array<int, AudioSources> SourceSlotsAtLoad = ALsourcebuffer;

TEST(AudioStart, NoSourceHoldsASlotBeforeTheFirstEffect) {
    for (int s = 0; s < AudioSources; ++s) EXPECT_EQ(SourceSlotsAtLoad[s], NoSlot) << s;
}

TEST_F(AudioTest, EffectsRotateOverTheFirst31Sources) {
    ASys.GetWAV(Slot, Write("a.wav", SimpleWav(1, 8000, 8, Pattern(100))).c_str());
    std::vector<int> used;  // the source each effect started
    for (int n = 0; n < 2 * SfxSources + 1; ++n) {
        std::vector<int> before;
        for (int s = 0; s < AudioSources; ++s) before.push_back(Src(s).plays);
        ASys.PlayWAV(Slot, 1, 1, 0, 0);
        int started = -1, count = 0;
        for (int s = 0; s < AudioSources; ++s)
            if (Src(s).plays != before[s]) started = s, ++count;
        EXPECT_EQ(count, 1);
        EXPECT_EQ(started, ALChannel);
        EXPECT_EQ(ALsourcebuffer[started], Slot);
        EXPECT_EQ(Src(started).buffer, static_cast<int>(ALbuffer[Slot]));
        used.push_back(started);
    }
    EXPECT_EQ(used[SfxSources], used[0]);  // the 32nd effect takes the 1st one's source
    EXPECT_EQ(used[2 * SfxSources], used[0]);
    for (int n = 0; n < SfxSources; ++n) EXPECT_EQ(used[n], (n + 1) % SfxSources);
    EXPECT_EQ(Src(MusicSource).plays, 0);
    EXPECT_EQ(Src(MusicSource).buffer, 0);
    // The source taken over was stopped before it started again.
    EXPECT_GE(Src(used[0]).stops, 2);
}

TEST_F(AudioTest, EffectSettingsAreClampedAndPanned) {
    ASys.GetWAV(Slot, Write("a.wav", SimpleWav(1, 8000, 8, Pattern(100))).c_str());
    struct Case {
        float pitch, volume, pan;
        int loop;
        float wantPitch, wantGain, wantX;
        int wantLoop;
    };
    const Case cases[] = {
        {1, 1, 0, 0, 1, 1, 0, 0},       {0.1f, 0.5f, 0.5f, 1, 0.25f, 0.5f, -0.5f, 1},
        {20, 1.5f, 3, 2, 16, 1, -1, 0}, {2, -1, -3, -1, 2, 0, 1, 0},
        {16, 0, 1, 1, 16, 0, -1, 1},    {0.25f, 1, -1, 0, 0.25f, 1, 1, 0},
    };
    for (const Case& c : cases) {
        ASys.PlayWAV(Slot, c.pitch, c.volume, c.pan, c.loop);
        const FakeAlSource& s = Src(ALChannel);
        SCOPED_TRACE(testing::Message() << "pitch " << c.pitch << " volume " << c.volume << " pan " << c.pan);
        EXPECT_FLOAT_EQ(s.pitch, c.wantPitch);
        EXPECT_FLOAT_EQ(s.gain, c.wantGain);
        EXPECT_FLOAT_EQ(s.position[0], c.wantX);
        EXPECT_FLOAT_EQ(s.position[1], 0);
        EXPECT_FLOAT_EQ(s.position[2], 0);
        EXPECT_EQ(s.looping, c.wantLoop);
        EXPECT_EQ(s.state, AL_PLAYING);
    }
}

TEST_F(AudioTest, AnEmptySlotPlaysNothing) {
    ASys.PlayWAV(Slot, 1, 1, 0, 0);
    for (int s = 0; s < AudioSources; ++s) EXPECT_EQ(Src(s).plays, 0);
    EXPECT_EQ(ALChannel, 0);
}

// Without an audio device every call returns at once and touches no OpenAL object.
TEST_F(AudioTest, WithoutAContextNothingIsCalled) {
    const std::string wav = Write("a.wav", SimpleWav(1, 8000, 8, Pattern(100)));
    const std::string ogg = Write("a.ogg", OggTone(1, 8000, 0.2));
    ALctx = nullptr;
    const auto buffersBefore = FakeAl.buffers.size();
    const int fds = OpenDescriptors();
    ASys.GetWAV(Slot, wav.c_str());
    ASys.PlayWAV(Slot, 1, 1, 0, 0);
    ASys.PlayMusic_Wav_Sys(wav.c_str(), 1);
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    ASys.PlayMusic_Ogg_Sys(ogg.c_str(), 1);
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    ASys.BufferMusic_Wav_Sys();
    ASys.BufferMusic_Ogg_Sys();
    ASys.HandleMusicSys();
    ASys.StopMusicSys();
    EXPECT_EQ(ALbufferActive[Slot], 0);
    EXPECT_EQ(FakeAl.buffers.size(), buffersBefore);
    for (int s = 0; s < AudioSources; ++s) {
        EXPECT_EQ(Src(s).plays, 0);
        EXPECT_EQ(Src(s).stops, 0);
        EXPECT_TRUE(Src(s).queue.empty());
    }
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_EQ(Log(), "");
}
