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

// The RMS amplitude sox measures in [fromMs, toMs) of the file; -1 when sox gives none.
double Rms(const std::string& wav, long long fromMs, long long toMs) {
    const std::string command = "sox '" + wav + "' -n trim " + std::to_string(fromMs / 1000.0) + " " +
                                std::to_string((toMs - fromMs) / 1000.0) + " stat 2>&1";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return -1;
    double rms = -1;
    char line[256];
    while (std::fgets(line, sizeof line, out))
        if (std::sscanf(line, "RMS amplitude: %lf", &rms) == 1) break;
    while (std::fgets(line, sizeof line, out)) {
    }
    pclose(out);
    return rms;
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

    struct Window {
        const char* what;
        long long from, to;
        bool sound;
    };
    const Window windows[] = {
        {"before the gem", MarginMs, gem - MarginMs, false},
        {"the gem", gem + MarginMs / 3, gem + 2 * MarginMs, true},
        {"after the gem", gem + GemMs - 2 * MarginMs, music - MarginMs / 3, false},
        {"the music", music + MarginMs, stop - MarginMs, true},
        {"after the music stopped", stop + MarginMs, end - MarginMs, false},
    };
    for (const Window& w : windows) {
        SCOPED_TRACE(w.what);
        const double rms = Rms(wav, w.from, w.to);
        ASSERT_GE(rms, 0) << "sox could not read " << wav;
        if (w.sound)
            EXPECT_GT(rms, Loud) << w.from << ".." << w.to << " ms";
        else
            EXPECT_LT(rms, Silent) << w.from << ".." << w.to << " ms";
    }
}

}  // namespace
