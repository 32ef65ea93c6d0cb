// The settings file (options 0..99 and the control bindings) and the score file (options
// 100..199 and the score area under running check values): writing both, and reading them
// back without trusting them, then the player's id and the one score exchange of launch.
#include "MyGame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr int IntBytes = 4;
constexpr int SettingsOptionEnd = 100;   // Option[0..99] live in the settings file
constexpr int SavedOptionFirst = 100;    // Option[100..199] live in the score file

// Score area: a check follows every entry i with i mod ScoreBlock = BlockCheckEntry, so the
// first block holds entries 0 and 1 and every later one ScoreBlock entries.
constexpr int ScoreBlock = 37;
constexpr int BlockCheckEntry = 1;
constexpr int ScoreAreaByte = (OptionCount - SavedOptionFirst + 1) * IntBytes;   // 404
constexpr int BlockBytes = (ScoreBlock + 1) * IntBytes;                          // 152
constexpr int FirstBlockEndByte = ScoreAreaByte + (BlockCheckEntry + 2) * IntBytes;  // 416

// Running checks: the modulus of the options check and of the score checks.
constexpr float OptionsModulus = 37171652.0f;
constexpr float ScoreModulus = 37961356.0f;
// Check factors: id part mod m, plus base.
constexpr int FactorADivisor = 5, FactorABase = 3;
constexpr int FactorBDivisor = 4, FactorBBase = 4;
constexpr int FactorCDivisor = 6, FactorCBase = 2;
// Id checks: the settings id and the score file's copy take the moduli in different orders.
constexpr int IdModulusA = 37171, IdModulusB = 17021, IdModulusC = 53496;

// A stored value below this one stands for a missing number: the current value stays.
constexpr int LowestStored = MissingNumber + 1;

// The new id: date and time as decimal digit groups, then a clock and a random part.
constexpr int DateYear = 10000, DateMonth = 100;
constexpr int TimeHour = 10000, TimeMinute = 100;
constexpr int IdWarmUpDraws = 100, IdWarmUpRange = 10;
constexpr int IdClockPart = 1000, IdClockWeight = 10000;
constexpr float IdRandLow = 1000, IdRandHigh = 9999;

// Characters of the title that become "_" in the score file's name; bytes above 127 go.
constexpr const char* TitleUnsafe = "&`\">#^{}<|%?+$, ";
constexpr unsigned char HighestTitleByte = 127;

// Options that something uses as a number in a range or as an index: a stored value outside
// the range keeps the current value. OptBoard keeps 0, which Load itself turns into 1.
struct OptionLimit {
    int index, low, high;
};
constexpr int AnyCount = std::numeric_limits<int>::max();
constexpr OptionLimit OptionLimits[] = {
    {OptSFXVol, 0, 10},    {OptMusicVol, 0, 10},  {OptInvertY, 0, 1},   {OptSwapButtons, 0, 1},
    {OptOverscan, 0, 10},  {OptDebugStats, 0, 1}, {OptLessMotion, 0, 1}, {OptPlays, 0, AnyCount},
    {OptBoard, 0, 3},
};

bool WithinLimits(int index, int value) {
    for (const OptionLimit& l : OptionLimits)
        if (l.index == index) return value >= l.low && value <= l.high;
    return true;
}

// A code the binding poll can use: unbound, a key GLFW knows, or an entry of one of the pads.
bool Bindable(int code) {
    constexpr int firstPadCode = PadCodeFirstPad * PadCodeStride;
    constexpr int endPadCode = (PadCodeFirstPad + PadCount) * PadCodeStride;
    if (code == 0) return true;
    if (code >= AnyKeyFirst && code <= AnyKeyLast) return true;
    return code >= firstPadCode && code < endPadCode && code % PadCodeStride <= PadLastBindable;
}

int UserCheck(int date, int time, int rand) {
    return date % IdModulusA + time % IdModulusB + rand % IdModulusC;
}

int CopyCheck(int date, int time, int rand) {
    return date % IdModulusC + time % IdModulusA + rand % IdModulusB;
}

struct CheckFactors {
    int a, b, c;
};

// Worked out from the settings id and the game number whenever a file is read or written.
CheckFactors FactorsOf(const MyGame& g) {
    return {g.Option[OptUserDate] % FactorADivisor + FactorABase,
            g.Option[OptUserTime] % FactorBDivisor + FactorBBase, g.GameNum % FactorCDivisor + FactorCBase};
}

// One running check. A step folds the value v at index i in: the sum wraps in 32 bits, is
// rounded to a float (losing low bits above 2^24) and reduced by the modulus as a float.
struct RunningCheck {
    int gameNum, f1, f2, f3;
    float modulus;
    int r = 0;

    void Fold(int v, int i) {
        const auto u = [](int x) { return static_cast<uint32_t>(x); };
        const uint32_t sum = (u(v) + u(gameNum)) * u(f1) + (u(i) + u(f2)) * u(f3) + u(r);
        const float rounded = static_cast<float>(static_cast<int32_t>(sum));
        r = static_cast<int>(std::fmod(rounded, modulus));
    }
};

RunningCheck OptionsCheck(int gameNum, const CheckFactors& f) {
    return {gameNum, f.a, f.b, f.c, OptionsModulus};
}

// The check of the score blocks and the final check; only entries that are not 0 are folded.
RunningCheck ScoreCheck(int gameNum, const CheckFactors& f) {
    return {gameNum, f.a, f.c, f.b, ScoreModulus};
}

bool EndsBlock(int entry) { return entry % ScoreBlock == BlockCheckEntry; }

// Reads a file's integers in order and tells a value the file holds from one it lacks (the
// read gives MissingNumber for both); keeps track of the position to tell them apart.
class StoredInts {
public:
    explicit StoredInts(VornCore& core) : core(core) {}
    bool Next(int& value) {
        value = core.ReadInt();
        offset += IntBytes;
        return value != MissingNumber || core.FilePos() == offset;
    }
    void SeekTo(int byte) {
        core.FileSeek(byte);
        offset = byte;
    }

private:
    VornCore& core;
    int offset = 0;
};

}  // namespace

std::string MyGame::GameSaveFile() {
    std::string title;
    for (const char* c = GameTitle; c < GameTitle + sizeof GameTitle && *c != '\0'; ++c) {
        if (static_cast<unsigned char>(*c) > HighestTitleByte) continue;
        title += std::strchr(TitleUnsafe, *c) ? '_' : *c;
    }
    return fstr("Save_%i_%s.sav", GameNum, title.c_str());
}

void MyGame::Save() {
    if (WriteFile(SettingsFile)) {
        for (int i = 0; i < SettingsOptionEnd; ++i) WriteInt(Option[i]);
        for (int input = 0; input < LogicalInputs; ++input)
            for (int row = 0; row < BindRows; ++row) WriteInt(KeyValue(input, row));
        CloseFile();
    }

    const CheckFactors factors = FactorsOf(*this);
    if (!WriteFile(GameSaveFile())) return;
    RunningCheck options = OptionsCheck(GameNum, factors);
    for (int i = SavedOptionFirst; i < OptionCount; ++i) {
        WriteInt(Option[i]);
        options.Fold(Option[i], i);
    }
    WriteInt(options.r);
    RunningCheck scores = ScoreCheck(GameNum, factors);
    for (int i = 0; i < ScoreEntries; ++i) {
        if (ScoreTable[i] != 0) scores.Fold(ScoreTable[i], i);
        WriteInt(ScoreTable[i]);
        if (EndsBlock(i)) {
            WriteInt(scores.r);
            scores.r = 0;
        }
    }
    WriteInt(scores.r);   // the final check, over the entries after the last block
    CloseFile();
}

void MyGame::Load() {
    Debuglog("Load Settings");
    if (ReadFile(SettingsFile)) {
        StoredInts in(*this);
        int value = 0;
        for (int i = 0; i < SettingsOptionEnd; ++i)
            if (in.Next(value) && value >= LowestStored && WithinLimits(i, value)) Option[i] = value;
        // An input's bindings are replayed only when the file holds all of its rows, so a
        // file that ends early leaves the rest of the defaults as they are.
        for (int input = 0; input < LogicalInputs; ++input) {
            int codes[BindRows];
            int rows = 0;
            while (rows < BindRows && in.Next(codes[rows])) ++rows;
            if (rows < BindRows) break;
            for (int code : codes)
                if (code >= LowestStored && Bindable(code)) SetKey(input, code);
        }
        CloseFile();
    }

    if (Option[OptUserCheck] != UserCheck(Option[OptUserDate], Option[OptUserTime], Option[OptUserRand])) {
        std::fputs("A", stdout);
        std::fflush(stdout);
        Option[OptUserDate] = Option[OptUserTime] = Option[OptUserRand] = 0;
    }

    Debuglog("Load Scores");
    const std::string scoreFile = GameSaveFile();
    const CheckFactors factors = FactorsOf(*this);
    bool valid = true;
    if (ReadFile(scoreFile)) {
        StoredInts in(*this);
        int value = 0;
        for (int i = SavedOptionFirst; i < OptionCount; ++i)
            if (in.Next(value) && WithinLimits(i, value)) Option[i] = value;
        in.Next(value);   // the options check: only the block checks decide
        in.SeekTo(ScoreAreaByte);
        RunningCheck scores = ScoreCheck(GameNum, factors);
        int block = 0;
        for (int i = 0; i < ScoreEntries; ++i) {
            if (in.Next(value)) ScoreTable[i] = value;
            if (ScoreTable[i] != 0) scores.Fold(ScoreTable[i], i);
            if (!EndsBlock(i)) continue;
            // A stored MissingNumber counts as a match, and so does a check the file lacks.
            const bool stored = in.Next(value);
            if (stored && value != scores.r && value != MissingNumber && valid) {
                valid = false;
                Debuglog("Checksum Error");
            }
            in.SeekTo(FirstBlockEndByte + BlockBytes * block);
            ++block;
            scores.r = 0;
        }
        in.Next(value);   // the final check
        CloseFile();
    }

    if (Option[OptUserDate] == 0 && Option[OptUserTime] == 0 && Option[OptUserRand] == 0) {
        Debuglog("Reset User");
        Option[OptUserDate] = Date_Year() * DateYear + Date_Month() * DateMonth + Date_Day();
        Option[OptUserTime] = Time_Hour() * TimeHour + Time_Minute() * TimeMinute + Time_Second();
        SeedRnd();
        for (int i = 0; i < IdWarmUpDraws; ++i) Rnd(IdWarmUpRange);
        Option[OptUserRand] = Mills() % IdClockPart * IdClockWeight + static_cast<int>(Rnd(IdRandLow, IdRandHigh));
        Option[OptUserCheck] = UserCheck(Option[OptUserDate], Option[OptUserTime], Option[OptUserRand]);
    }

    if (!valid) {
        Debuglog("Clearing Scoreboard");
        std::fill(Option + SavedOptionFirst, Option + OptionCount, 0);
        std::fill(ScoreTable, ScoreTable + ScoreEntries, 0);
    }

    Option[OptSaveUserDate] = Option[OptUserDate];
    Option[OptSaveUserTime] = Option[OptUserTime];
    Option[OptSaveUserRand] = Option[OptUserRand];
    Option[OptSaveUserCheck] = CopyCheck(Option[OptUserDate], Option[OptUserTime], Option[OptUserRand]);
    if (Option[OptBoard] == 0) Option[OptBoard] = 1;

    const std::string id = Strip(SixDigitString(Option[OptUserDate], Option[OptUserTime], Option[OptUserRand]));
    Debuglog(fstr("User ID '%s'", id.c_str()));
    SendScores(0);
}
