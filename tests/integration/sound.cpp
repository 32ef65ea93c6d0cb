// Sound on the real OpenAL Soft: its wave driver writes the mix to a file, the generated gem
// sound and a second of the streamed music are played through the core's API, and sox
// measures the file where each sound was and where nothing was playing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
constexpr int MarginMs = 150;      // kept clear of every start and stop when measuring

long long Since(long long start) { return SysClockMs() - start; }

void SleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// What sox prints for a command: the number after the label, -1 when it gives none.
double SoxValue(const std::string& command, const char* label) {
    FILE* out = popen((command + " 2>&1").c_str(), "r");
    if (!out) return -1;
    double value = -1;
    char line[256];
    const std::string format = std::string(label) + " %lf";
    while (std::fgets(line, sizeof line, out))
        if (value < 0) std::sscanf(line, format.c_str(), &value);
    pclose(out);
    return value;
}

std::string Seconds(long long ms) { return std::to_string(ms / 1000.0); }

// The RMS amplitude in [fromMs, toMs) of the file.
double Rms(const std::string& wav, long long fromMs, long long toMs) {
    return SoxValue("sox '" + wav + "' -n trim " + Seconds(fromMs) + " " + Seconds(toMs - fromMs) + " stat",
                    "RMS amplitude:");
}

// Where the first sound starts in the file, in ms: its length less what is left once sox has
// cut the silence in front.
long long FirstSoundMs(const std::string& wav) {
    const double all = SoxValue("sox '" + wav + "' -n stat", "Length (seconds):");
    const double rest = SoxValue("sox '" + wav + "' -n silence 1 0.001 0.1% stat", "Length (seconds):");
    return all < 0 || rest < 0 ? -1 : static_cast<long long>((all - rest) * 1000);
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
    const long long start = SysClockMs();   // the driver writes from the context's creation
    ASSERT_NE(ALctx, nullptr) << "OpenAL Soft's wave driver did not open";
    std::snprintf(Core.home, sizeof Core.home, "%s", data.parent_path().parent_path().c_str());
    Core.SFXVol = 1;
    Core.MusicVol = 1;
    Core.LoadSFX(SfxGem);
    ASSERT_GT(SFXData[SfxGem][SfxBytes], 0);

    SleepMs(LeadMs);
    const long long gem = Since(start);
    Core.PlaySFX(SfxGem, 1, 1);
    SleepMs(GemMs);

    const long long music = Since(start);
    Core.PlayMusic("wombats.ogg");
    ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
    while (Since(start) < music + MusicMs) {
        Core.MusicHandler();
        SleepMs(ServiceMs);
    }
    Core.StopMusic();
    const long long stop = Since(start);
    SleepMs(TailMs);
    const long long end = Since(start);
    Core.Terminate();   // closing the device completes the file

    // The driver started writing while the device opened, a little before the clock above
    // started: times in the file are taken from where the gem starts in it.
    const long long first = FirstSoundMs(wav);
    ASSERT_GE(first, 0) << "sox could not read " << wav;
    EXPECT_GE(first, gem) << "a sound before the gem";
    const long long shift = first - gem;
    struct Window {
        const char* what;
        long long from, to;   // by the clock above
        bool sound;
    };
    const Window windows[] = {
        {"the gem", gem, gem + 2 * MarginMs, true},
        {"after the gem", gem + GemMs - 2 * MarginMs, music, false},
        {"the music", music + MarginMs, stop, true},
        {"after the music stopped", stop + MarginMs, end, false},
    };
    for (const Window& w : windows) {
        SCOPED_TRACE(w.what);
        const double rms = Rms(wav, w.from + shift, w.to + shift);
        ASSERT_GE(rms, 0) << "sox could not read " << wav;
        if (w.sound)
            EXPECT_GT(rms, Loud) << w.from << ".." << w.to << " ms";
        else
            EXPECT_LT(rms, Silent) << w.from << ".." << w.to << " ms";
    }
}

}  // namespace
