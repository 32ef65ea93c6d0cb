// gen.h - what the data-folder generator writes: the tables of pictures (file, cell size,
// sheet layout), the frames the game draws, the numbered sounds and the music, and the
// entry points of the generator's parts.
#pragma once

#include <array>
#include <string>

namespace bw {

// A picture file is `columns` x `rows` cells of `cell` pixels; the game's loader cuts a
// file wider than its cell into a sprite sheet and loads a narrower one as one image.
struct PictureSpec {
    const char* file;
    int cell;
    int columns;
    int rows;
};

constexpr PictureSpec FontSheet{"entplain.png", 32, 16, 6};
constexpr PictureSpec VornLogoSheet{"VornLogo.png", 32, 25, 25};
constexpr PictureSpec IconSheet{"icons.png", 64, 4, 3};
constexpr PictureSpec ParticleSheet{"particles.png", 32, 12, 12};
constexpr PictureSpec OptionSheet{"options.png", 32, 4, 3};
constexpr PictureSpec MenuPicture{"menu.png", 504, 1, 1};
// The title screen centres the logo's square texture so that its middle band, 1024 x 512,
// starts 16 units below the top of the screen; the picture lives in that band.
constexpr PictureSpec LogoPicture{"logo.png", 1024, 1, 1};
constexpr PictureSpec GfxSheet{"gfx.png", 16, 16, 6};
constexpr PictureSpec RipplePicture{"ripple.png", 128, 1, 1};
constexpr PictureSpec WaterPicture{"rippleb.png", 512, 1, 1};

constexpr std::array<PictureSpec, 10> Pictures = {FontSheet,   VornLogoSheet, IconSheet,  ParticleSheet,
                                                  OptionSheet, MenuPicture,   LogoPicture, GfxSheet,
                                                  RipplePicture, WaterPicture};

constexpr int LogoBandTop = 256;     // first row of the logo's 1024 x 512 band
constexpr int LogoBandHeight = 512;

// Frames of "gfx" (16-pixel cells).
constexpr int GfxTrail = 0, GfxGem = 1, GfxBigGem = 2, GfxHazard = 3, GfxBombPickup = 4;
constexpr int GfxHazardBlink = 90, GfxRegrowing = 91;

// Frames of "icons" (64-pixel cells).
constexpr int IconPause = 0, IconQuit = 1, IconGearOuter = 3, IconGearInner = 4, IconCredits = 5;
constexpr int IconBackdropTile = 8;

// Frames of "options" (32-pixel cells).
constexpr int OptBack = 0, OptSfxVolume = 1, OptMusicVolume = 2, OptScreen = 3, OptStats = 6;
constexpr int OptController = 7, OptInvertY = 8, OptLives = 9, OptOnlineName = 10, OptLessMotion = 11;

// "particles": 12 colour groups of 12 frames, frame = 12 x group + shape.
constexpr int ParticleGroups = 12, ParticleShapes = 12;

// The font: frame n holds character n + 32; fontw[n] - 1 is its advance in pixels.
constexpr int FontFirstChar = 32, FontLastChar = 126;
constexpr std::array<int, 95> FontWidths = {
    15, 5,  12, 19, 15, 22, 15, 5,  10, 10, 15, 15, 5,  15, 5,  15,  // space ! " # $ % & ' ( ) * + , - . /
    16, 16, 16, 16, 16, 16, 16, 16, 16, 16,                          // 0-9
    5,  5,  15, 15, 15, 15, 25,                                      // : ; < = > ? @
    15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 22, 15, 15,      // A-O
    15, 15, 15, 15, 15, 15, 16, 22, 15, 15, 15,                      // P-Z
    10, 15, 10, 12, 16, 5,                                           // [ \ ] ^ _ `
    15, 15, 15, 15, 15, 15, 15, 15, 5,  10, 15, 5,  25, 15, 15,      // a-o
    15, 15, 15, 15, 15, 15, 15, 22, 15, 15, 15,                      // p-z
    11, 5,  12, 25};                                                 // { | } ~
// Where the font's advance box starts inside a cell: text is drawn with each glyph centred
// 14 pixels (the blank's advance) after its pen position, and the cell centre is at 16.
constexpr int FontBoxLeft = 2;

// Sounds, "audio/%02i.wav", 16-bit mono PCM.
constexpr int SampleRate = 44100;
constexpr int SfxSpare = 1, SfxGem = 2, SfxBigGem = 3, SfxBlast = 4, SfxBomb = 5;
constexpr int SfxJingle = 95, SfxConfirm = 98, SfxMove = 99;
constexpr std::array<int, 8> SoundNumbers = {SfxSpare, SfxGem,     SfxBigGem,  SfxBlast,
                                             SfxBomb,  SfxJingle, SfxConfirm, SfxMove};

// The music: "audio/wombats.ogg", stereo Ogg Vorbis, 16 bars at 120 beats per minute.
constexpr const char* MusicFile = "wombats.ogg";
constexpr int MusicBeatsPerMinute = 120;
constexpr int MusicBars = 16;
constexpr int MusicBeatsPerBar = 4;
constexpr int MusicBeatSamples = SampleRate * 60 / MusicBeatsPerMinute;
constexpr int MusicLoopSamples = MusicBeatSamples * MusicBeatsPerBar * MusicBars;

std::string soundFileName(int number);  // "audio/05.wav"

// The generator's parts; each writes its files below `dir` and reports failures on
// standard error. `fontPath` is the DejaVu face used for every text.
bool writeFont(const std::string& dir, const std::string& fontPath);
bool writeLogos(const std::string& dir, const std::string& fontPath);
bool writeSprites(const std::string& dir);
bool writeIcons(const std::string& dir);
bool writeSounds(const std::string& dir);
bool writeMusic(const std::string& dir);

// Everything: creates `dir` and its audio folder, then runs every part.
bool generateDataFolder(const std::string& dir, const std::string& fontPath);

}  // namespace bw
