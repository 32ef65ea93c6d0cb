// Sound without an audio device on the real OpenAL Soft, as on a machine without a sound card:
// start-up logs "Audio Device Error" and every sound and music call of the game returns at
// once, loads nothing and keeps no file open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "MyGame.h"
#include "VornCore.h"
#include "file_scratch.h"

namespace {

VornCore Core;

TEST(SoundWithoutDevice, EveryCallIsHarmless) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
    ASSERT_TRUE(std::filesystem::exists(data / "audio" / "wombats.ogg")) << "the generated data folder is missing";
    // A driver list naming no driver that exists: OpenAL Soft has no device to open.
    setenv("ALSOFT_DRIVERS", "no-such-driver", 1);

    testing::internal::CaptureStdout();
    Core.Begin(556, "Sound Test");
    std::snprintf(Core.home, sizeof Core.home, "%s", data.parent_path().parent_path().c_str());
    Core.SFXVol = 1;
    Core.MusicVol = 1;
    const int fds = OpenDescriptors();
    for (int slot : {SfxGem, SfxBigGem, SfxBlast}) Core.LoadSFX(slot);
    Core.PlaySFX(SfxGem);
    Core.PlaySFX(SfxBigGem, 1, 1, -1, 1);
    Core.PlayMusic("wombats.ogg");
    const int musicAfterStart = ASys.MusicPlaying;
    Core.MusicVolume(0.5f);
    for (int pass = 0; pass < 100; ++pass) Core.MusicHandler();
    Core.StopMusic();
    const int fdsAfter = OpenDescriptors();
    Core.Terminate();
    const std::string log = testing::internal::GetCapturedStdout();

    EXPECT_NE(log.find("Audio Device Error"), std::string::npos) << log;
    EXPECT_EQ(log.find("OpenAL Audio Engaged!"), std::string::npos) << log;
    EXPECT_EQ(ALctx, nullptr);
    EXPECT_EQ(musicAfterStart, MusicNone);
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    EXPECT_EQ(ALbufferActive[SfxGem], 0);
    EXPECT_EQ(fdsAfter, fds);
    EXPECT_EQ(log.find("Error Opening"), std::string::npos) << log;
}

}  // namespace
