// The core's sound and music API over the OpenAL fake: the asset paths of numbered and named
// effects and of music, the master volumes, the random pitch of a plain PlaySFX, the clamped
// music settings and which music names start a stream.
#include "VornCore.h"
#include "audio_fixture.h"

using namespace audio_files;

namespace {

VornCore Core;   // the core alone, as a game object would hold it
constexpr int Slot = 4;

class SoundApiTest : public AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        std::snprintf(Core.home, sizeof Core.home, "%s", dir.c_str());
        Core.GameNum = 556;
        Core.SFXVol = 1;
        Core.MusicVol = 1;
    }
    std::string Audio(const std::string& name) { return dir + "/Data/556/audio/" + name; }
    // A WAV effect file whose data length tells it apart from the others.
    void Effect(const std::string& name, size_t bytes) {
        WriteBytes(Audio(name), SimpleWav(1, 8000, 8, Pattern(bytes)));
    }
    void LoadOneEffect() {
        Effect("04.wav", 100);
        Core.LoadSFX(Slot);
    }
    const FakeAlSource& Last() { return Src(ALChannel); }
};

}  // namespace

TEST_F(SoundApiTest, EffectsLoadFromTheAudioFolder) {
    Effect("07.wav", 107);
    Effect("95.wav", 95);
    Effect("100.wav", 100);
    Effect("sfx/boom.wav", 55);
    Effect("boom.WAV", 66);
    Effect("click.Wav", 77);
    Effect("click.wav", 88);
    struct Case {
        int slot;
        const char* name;  // nullptr: the numbered form
        size_t bytes;      // the length of the file it must have loaded
        const char* log;
    };
    const Case cases[] = {
        {7, nullptr, 107, "Load SFX   : 7\n"},
        {95, nullptr, 95, "Load SFX   : 95\n"},
        {100, nullptr, 100, "Load SFX   : 100\n"},
        {3, "sfx\\boom", 55, "Load Wave sfx\\boom to 3\n"},
        {5, "boom.WAV", 66, "Load Wave boom.WAV to 5\n"},
        {6, "click.Wav", 77, "Load Wave click.Wav to 6\n"},
        {8, "click", 88, "Load Wave click to 8\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        if (c.name)
            Core.LoadSFX(c.slot, c.name);
        else
            Core.LoadSFX(c.slot);
        EXPECT_TRUE(Logged(c.log));
        EXPECT_EQ(SlotBuffer(c.slot).data.size(), c.bytes);
    }
    EXPECT_FALSE(Logged("Error"));
    Core.LoadSFX(9);  // there is no 09.wav
    EXPECT_TRUE(Logged("Error Opening Wave"));
}

TEST_F(SoundApiTest, PlaySFXAppliesTheMasterVolume) {
    LoadOneEffect();
    Core.SFXVol = 0.7f;
    struct Case {
        const char* form;
        void (*play)();
        float pitch, gain, x;
        int loop;
    };
    const Case cases[] = {
        {"slot, pitch", [] { Core.PlaySFX(Slot, 1.5f); }, 1.5f, 0.7f, 0, 0},
        {"slot, pitch, volume", [] { Core.PlaySFX(Slot, 1.0f, 0.5f); }, 1, 0.35f, 0, 0},
        {"slot, pitch, volume, pan", [] { Core.PlaySFX(Slot, 2.0f, 1.0f, 0.5f); }, 2, 0.7f, -0.5f, 0},
        {"slot, pitch, volume, pan, loop", [] { Core.PlaySFX(Slot, 0.5f, 0.5f, -1, 1); }, 0.5f, 0.35f, 1, 1},
        {"volume above 1 after the master volume", [] { Core.PlaySFX(Slot, 1.0f, 2.0f); }, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        c.play();
        EXPECT_FLOAT_EQ(Last().pitch, c.pitch);
        EXPECT_FLOAT_EQ(Last().gain, c.gain);
        EXPECT_FLOAT_EQ(Last().position[0], c.x);
        EXPECT_EQ(Last().looping, c.loop);
    }
}

// The short form varies its pitch within a fifth either way, from the clock-mixed numbers:
// the game's seeded stream is not disturbed by playing a sound.
TEST_F(SoundApiTest, PlainPlaySFXHasARandomPitchOutsideTheSeededStream) {
    LoadOneEffect();
    Core.SFXVol = 0.5f;
    Core.SeedRnd(1234);
    const float a = Core.Rnd(1), b = Core.Rnd(1);
    Core.SeedRnd(1234);
    std::vector<float> pitches;
    for (int n = 0; n < 20; ++n) {
        Core.PlaySFX(Slot);
        pitches.push_back(Last().pitch);
        EXPECT_FLOAT_EQ(Last().gain, 0.5f);
        EXPECT_EQ(Last().looping, 0);
        EXPECT_FLOAT_EQ(Last().position[0], 0);
    }
    EXPECT_FLOAT_EQ(Core.Rnd(1), a);
    EXPECT_FLOAT_EQ(Core.Rnd(1), b);
    for (float p : pitches) {
        EXPECT_GE(p, SfxPitchLow);
        EXPECT_LE(p, SfxPitchHigh);
    }
    std::sort(pitches.begin(), pitches.end());
    EXPECT_GT(std::unique(pitches.begin(), pitches.end()) - pitches.begin(), 1);
}

TEST_F(SoundApiTest, MusicSettingsAreClamped) {
    struct Case {
        void (*set)(float);
        int index;
        float value, stored;
    };
    const Case cases[] = {
        {[](float v) { Core.MusicPitch(v); }, MusicPitchSet, 10, 4},
        {[](float v) { Core.MusicPitch(v); }, MusicPitchSet, 0.1f, 0.25f},
        {[](float v) { Core.MusicPitch(v); }, MusicPitchSet, 1.5f, 1.5f},
        {[](float v) { Core.MusicPan(v); }, MusicPanSet, -2, -1},
        {[](float v) { Core.MusicPan(v); }, MusicPanSet, 2, 1},
        {[](float v) { Core.MusicPan(v); }, MusicPanSet, 0.3f, 0.3f},
        {[](float v) { Core.MusicVolume(v); }, MusicVolumeSet, -0.5f, 0},
        {[](float v) { Core.MusicVolume(v); }, MusicVolumeSet, 3, 1},
        {[](float v) { Core.MusicVolume(v); }, MusicVolumeSet, 0.4f, 0.4f},
    };
    for (const Case& c : cases) {
        c.set(c.value);
        EXPECT_FLOAT_EQ(ASys.MusicSet[c.index], c.stored) << c.index << " " << c.value;
    }
}

// Which backend call a name reaches shows in what it logs for a missing file.
TEST_F(SoundApiTest, OnlySixEndingsStartMusic) {
    struct Case {
        const char* name;
        std::string log;  // empty: nothing is started
    };
    const std::string wav = "Error Opening Wave - " + Audio("");
    const Case cases[] = {
        {"tune.ogg", "Error Opening Ogg"},
        {"tune.Ogg", "Error Opening Ogg"},
        {"tune.OGG", "Error Opening Ogg"},
        {"tune.wav", wav + "tune.wav\n"},
        {"tune.Wav", wav + "tune.Wav\n"},
        {"music\\tune.WAV", wav + "music/tune.WAV\n"},
        {"tune.mp3", ""},
        {"tune.oGG", ""},
        {"tune.WaV", ""},
        {"ogg", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = Log().size();
        Core.PlayMusic(c.name);
        const std::string said = Log().substr(before);
        if (c.log.empty())
            EXPECT_EQ(said, "");
        else
            EXPECT_NE(said.find(c.log), std::string::npos) << said;
    }
}

TEST_F(SoundApiTest, PlayMusicStreamsFromTheAudioFolder) {
    WriteBytes(Audio("wombats.ogg"), OggTone(2, 22050, 0.5));
    WriteBytes(Audio("loop.wav"), SimpleWav(2, 22050, 16, Pattern(6 * MusicBlockBytes)));
    Core.PlayMusic("wombats.ogg");
    EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
    EXPECT_EQ(ASys.MusicLoop, 1);

    // A name with another ending leaves the current track playing.
    Core.PlayMusic("wombats.mp3");
    EXPECT_EQ(ASys.MusicPlaying, MusicOgg);

    Core.PlayMusic("loop.wav", 0);
    EXPECT_EQ(ASys.MusicPlaying, MusicWav);
    EXPECT_EQ(ASys.MusicLoop, 0);
    Core.StopMusic();
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    EXPECT_TRUE(Src(MusicSource).queue.empty());
    EXPECT_FALSE(Logged("Error"));
}

TEST_F(SoundApiTest, MusicHandlerCopiesTheVolumeAndServicesAPlayingTrack) {
    Core.MusicVol = 0.3f;
    Core.MusicHandler();  // no track: only the volume is copied
    EXPECT_FLOAT_EQ(ASys.MusicVolB, 0.3f);
    EXPECT_EQ(Src(MusicSource).plays, 0);
    EXPECT_FLOAT_EQ(Src(MusicSource).gain, 1);

    WriteBytes(Audio("loop.wav"), SimpleWav(1, 22050, 16, Pattern(8 * MusicBlockBytes)));
    Core.PlayMusic("loop.wav");
    Core.MusicVol = 0.8f;
    Core.MusicVolume(0.5f);
    Core.MusicPitch(2);
    Core.MusicPan(1);
    Core.MusicHandler();
    EXPECT_EQ(Src(MusicSource).queue.size(), 2u);
    EXPECT_FLOAT_EQ(Src(MusicSource).gain, 0.4f);
    EXPECT_FLOAT_EQ(Src(MusicSource).pitch, 2);
    EXPECT_FLOAT_EQ(Src(MusicSource).position[0], -1);
}

// Without an audio device (the normal case on a machine without a sound card) start-up logs
// it and carries on; then every sound and music call of the game does nothing, makes no
// OpenAL object and keeps no file open.
TEST_F(SoundApiTest, WithoutADeviceEveryCallIsHarmless) {
    Effect("04.wav", 100);
    WriteBytes(Audio("wombats.ogg"), OggTone(1, 22050, 0.2));
    WriteBytes(Audio("loop.wav"), SimpleWav(1, 22050, 16, Pattern(8 * MusicBlockBytes)));
    struct Case {
        const char* name;
        bool deviceFails, contextFails;
        const char* line;
    };
    const Case cases[] = {
        {"no device", true, false, "Audio Device Error"},
        {"no context", false, true, "Audio Context Issue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetFakes();
        FakeAl.deviceFails = c.deviceFails;
        FakeAl.contextFails = c.contextFails;
        Core.Begin(556, "Sound Test");
        EXPECT_TRUE(Logged(c.line));
        const int fds = OpenDescriptors();
        Core.LoadSFX(Slot);
        Core.LoadSFX(Slot, "04");
        Core.PlaySFX(Slot);
        Core.PlaySFX(Slot, 1);
        Core.PlaySFX(Slot, 1, 1);
        Core.PlaySFX(Slot, 1, 1, 0.5f);
        Core.PlaySFX(Slot, 1, 1, 0, 1);
        for (const char* track : {"wombats.ogg", "loop.wav", "missing.ogg", "missing.wav"}) {
            Core.PlayMusic(track);
            Core.MusicPitch(2);
            Core.MusicVolume(0.5f);
            Core.MusicPan(1);
            EXPECT_EQ(ASys.MusicPlaying, MusicNone);
            for (int pass = 0; pass < 10; ++pass) Core.MusicHandler();
        }
        Core.StopMusic();
        EXPECT_EQ(ASys.MusicPlaying, MusicNone);
        EXPECT_EQ(OpenDescriptors(), fds);
        EXPECT_TRUE(FakeAl.sources.empty());
        EXPECT_TRUE(FakeAl.buffers.empty());
        EXPECT_EQ(ALbufferActive[Slot], 0);
        Core.Terminate();
    }
    EXPECT_FALSE(Logged("Error Opening"));
    EXPECT_FALSE(Logged("     Load "));   // nothing was uploaded
}
