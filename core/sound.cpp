// The game-facing sound and music API: loading numbered or named WAV effects into sound
// slots, playing them with the master effect volume, and starting, adjusting, stopping and
// servicing the one music stream. The backend does all OpenAL work.
#include <algorithm>
#include <array>

#include "VornCore.h"

namespace {

constexpr int EndingLength = 4;
constexpr std::array<const char*, 3> WavEndings = {".wav", ".Wav", ".WAV"};
constexpr std::array<const char*, 3> OggEndings = {".ogg", ".Ogg", ".OGG"};

bool IsOneOf(const std::string& ending, const std::array<const char*, 3>& endings) {
    return std::any_of(endings.begin(), endings.end(), [&](const char* e) { return ending == e; });
}

std::string Slashed(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

}  // namespace

void VornCore::LoadSFX(int slot) {
    Debuglog(fstr("Load SFX   : %i", slot));
    ASys.GetWAV(slot, fstr("%s/Data/%i/audio/%02i.wav", home, GameNum, slot));
}

void VornCore::LoadSFX(int slot, std::string name) {
    Debuglog(fstr("Load Wave %s to %i", name.c_str(), slot));
    name = Slashed(name);
    const char* suffix = IsOneOf(Right(name, EndingLength), WavEndings) ? "" : ".wav";
    ASys.GetWAV(slot, fstr("%s/Data/%i/audio/%s%s", home, GameNum, name.c_str(), suffix));
}

void VornCore::PlaySFX(int slot) { ASys.PlayWAV(slot, tRnd(SfxPitchLow, SfxPitchHigh), SFXVol, 0, 0); }
void VornCore::PlaySFX(int slot, float pitch) { ASys.PlayWAV(slot, pitch, SFXVol, 0, 0); }
void VornCore::PlaySFX(int slot, float pitch, float volume) { PlaySFX(slot, pitch, volume, 0, 0); }
void VornCore::PlaySFX(int slot, float pitch, float volume, float pan) { PlaySFX(slot, pitch, volume, pan, 0); }
void VornCore::PlaySFX(int slot, float pitch, float volume, float pan, int loop) {
    ASys.PlayWAV(slot, pitch, SFXVol * volume, pan, loop);
}

void VornCore::MusicPitch(float pitch) { ASys.MusicSet[MusicPitchSet] = std::clamp(pitch, MusicPitchMin, MusicPitchMax); }
void VornCore::MusicVolume(float volume) { ASys.MusicSet[MusicVolumeSet] = std::clamp(volume, 0.0f, 1.0f); }
void VornCore::MusicPan(float pan) { ASys.MusicSet[MusicPanSet] = std::clamp(pan, -1.0f, 1.0f); }

void VornCore::PlayMusic(std::string name) { PlayMusic(name, 1); }

// Only the six endings count; any other name leaves the current track playing.
void VornCore::PlayMusic(std::string name, int loop) {
    name = Slashed(name);
    const std::string ending = Right(name, EndingLength);
    const bool ogg = IsOneOf(ending, OggEndings);
    const bool wav = IsOneOf(ending, WavEndings);
    if (!ogg && !wav) return;
    const char* path = fstr("%s/Data/%i/audio/%s", home, GameNum, name.c_str());
    if (ogg) ASys.PlayMusic_Ogg_Sys(path, loop);
    if (wav) ASys.PlayMusic_Wav_Sys(path, loop);
}

void VornCore::StopMusic() { ASys.StopMusicSys(); }

void VornCore::MusicHandler() {
    ASys.MusicVolB = MusicVol;
    if (ASys.MusicPlaying > MusicNone) ASys.HandleMusicSys();
}
