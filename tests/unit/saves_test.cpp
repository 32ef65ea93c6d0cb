// The settings file and the score file: their layout and check values, the round trip, the
// id checks, and files that are short, changed, random or killed mid-save, each test in its
// own scratch folder.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_scratch.h"
#include "game_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr int SettingsBytes = 4496, ScoreFileBytes = 90788;
constexpr int ScoreAreaByte = 404, FirstCheckByte = 412, BlockBytes = 152, FinalCheckByte = 90784;
constexpr int BlockChecks = 595;
constexpr const char* ScoreFile = "Save_556_Brindlewick.sav";

// Byte offset of score entry i: each check written before it takes 4 bytes.
int EntryByte(int i) { return ScoreAreaByte + 4 * (i + (i + 35) / 37); }
int CheckByte(int k) { return FirstCheckByte + BlockBytes * k; }

// The check after a block, worked out here from the definition of the running check.
int CheckStep(int r, int v, int i, int f1, int f2, int f3, float modulus) {
    const uint32_t s = (uint32_t(v) + 556u) * uint32_t(f1) + (uint32_t(i) + uint32_t(f2)) * uint32_t(f3) + uint32_t(r);
    return int(std::fmod(float(int32_t(s)), modulus));
}

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class SaveFiles : public GameScreen {
protected:
    std::string dir;
    std::optional<std::string> savedHost;

    void SetUp() override {
        GameScreen::SetUp();
        const char* host = std::getenv(ScoreHostVariable);
        savedHost = host ? std::optional<std::string>(host) : std::nullopt;
        setenv(ScoreHostVariable, "127.0.0.1:1", 1);   // no exchange ever reaches a server
        dir = ScratchDirForTest();
        snprintf(G.home, sizeof G.home, "%s", dir.c_str());
        std::fill(G.ScoreTable, G.ScoreTable + MyGame::ScoreEntries, 0);
    }
    void TearDown() override {
        G.SetTitle(GameName);
        strcpy(G.home, ".");
        if (savedHost)
            setenv(ScoreHostVariable, savedHost->c_str(), 1);
        else
            unsetenv(ScoreHostVariable);
        GameScreen::TearDown();
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    std::vector<unsigned char> Bytes(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes) const {
        std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    static int IntAt(const std::vector<unsigned char>& b, int at) {
        return int(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24);
    }
    static void PutInt(std::vector<unsigned char>& b, int at, int v) {
        for (int k = 0; k < 4; ++k) b[at + k] = (uint32_t(v) >> (8 * k)) & 0xFF;
    }

    // The launch state before Load: option defaults, default bindings, an empty score area.
    void Defaults() {
        LaunchDefaults();
        std::fill(G.ScoreTable, G.ScoreTable + MyGame::ScoreEntries, 0);
    }
    void SetId(int date, int time, int rand) {
        G.Option[OptUserDate] = date;
        G.Option[OptUserTime] = time;
        G.Option[OptUserRand] = rand;
        G.Option[OptUserCheck] = date % 37171 + time % 17021 + rand % 53496;
    }
    std::string Load() {
        testing::internal::CaptureStdout();
        G.Load();
        return testing::internal::GetCapturedStdout();
    }
    std::string Save() {
        testing::internal::CaptureStdout();
        G.Save();
        return testing::internal::GetCapturedStdout();
    }
    std::string IdText() {
        return G.Strip(G.SixDigitString(G.Option[OptUserDate], G.Option[OptUserTime], G.Option[OptUserRand]));
    }
    // Every binding is one the poll can read: unbound, a GLFW key, or a pad entry.
    static void ExpectBindingsUsable() {
        for (int row = 0; row < BindRows; ++row)
            for (int input = 0; input < LogicalInputs; ++input) {
                const int c = ASys.redef[row][input];
                const bool key = c >= GLFW_KEY_SPACE && c <= GLFW_KEY_LAST;
                const bool pad = c >= 500 && c < 900 && c % 100 <= PadLastBindable;
                EXPECT_TRUE(c == 0 || key || pad) << "row " << row << " input " << input << " code " << c;
            }
    }
    // Options with a range hold a value in it.
    void ExpectOptionsInRange() {
        struct Limit { int index, low, high; };
        const Limit limits[] = {{OptSFXVol, 0, 10},  {OptMusicVol, 0, 10},  {OptInvertY, 0, 1},
                                {OptSwapButtons, 0, 1}, {OptOverscan, 0, 10}, {OptDebugStats, 0, 1},
                                {OptLessMotion, 0, 1}, {OptPlays, 0, INT_MAX}, {OptBoard, 1, 3}};
        for (const Limit& l : limits) {
            EXPECT_GE(G.Option[l.index], l.low) << "option " << l.index;
            EXPECT_LE(G.Option[l.index], l.high) << "option " << l.index;
        }
    }
};

TEST_F(SaveFiles, WorkedExampleChecks) {
    SetId(20180704, 123456, 5551234);
    ASSERT_EQ(G.Option[OptUserCheck], 79477);
    G.ScoreTable[20] = G.ScoreTable[25] = 1500;
    Save();
    const auto b = Bytes(ScoreFile);
    ASSERT_EQ(int(b.size()), ScoreFileBytes);
    ASSERT_EQ(int(Bytes(MyGame::SettingsFile).size()), SettingsBytes);
    EXPECT_EQ(IntAt(b, EntryByte(20)), 1500);
    EXPECT_EQ(IntAt(b, EntryByte(25)), 1500);
    for (int k = 0; k < BlockChecks; ++k) EXPECT_EQ(IntAt(b, CheckByte(k)), k == 1 ? 29012 : 0) << "block " << k;
    EXPECT_EQ(IntAt(b, FinalCheckByte), 0);

    // The id passes its check and its copy gets 27043.
    const std::string out = Load();
    EXPECT_EQ(out.find("Reset User"), std::string::npos) << out;
    EXPECT_EQ(G.Option[OptUserRand], 5551234);
    EXPECT_EQ(G.Option[OptSaveUserCheck], 27043);

    // A running sum of 16,777,217 becomes the float 16,777,216 before the remainder.
    SetId(20180704, 123457, 5551234);   // factors 7, 5 and 6
    std::fill(G.ScoreTable, G.ScoreTable + MyGame::ScoreEntries, 0);
    G.ScoreTable[0] = 2396185;            // (2396185 + 556) * 7 + (0 + 6) * 5 = 16777217
    Save();
    EXPECT_EQ(IntAt(Bytes(ScoreFile), FirstCheckByte), 16777216);
}

TEST_F(SaveFiles, ChecksOfAFullScoreArea) {
    SetId(20261210, 235959, 4321987);   // factors 3, 7 and 6
    for (int i = 100; i < OptionCount; ++i) G.Option[i] = i * 1237 - 90000;
    std::mt19937 rng(7);
    for (int i = 0; i < MyGame::ScoreEntries; ++i)
        G.ScoreTable[i] = i % 11 == 3 ? 0 : int(rng());   // large values of both signs, some zeros
    Save();
    const auto b = Bytes(ScoreFile);
    ASSERT_EQ(int(b.size()), ScoreFileBytes);

    int r = 0;
    for (int i = 100; i < OptionCount; ++i) r = CheckStep(r, G.Option[i], i, 3, 7, 6, 37171652.0f);
    EXPECT_EQ(IntAt(b, 400), r);
    r = 0;
    int k = 0;
    for (int i = 0; i < MyGame::ScoreEntries; ++i) {
        ASSERT_EQ(IntAt(b, EntryByte(i)), G.ScoreTable[i]) << "entry " << i;
        if (G.ScoreTable[i] != 0) r = CheckStep(r, G.ScoreTable[i], i, 3, 6, 7, 37961356.0f);
        if (i % 37 == 1) {
            ASSERT_EQ(IntAt(b, CheckByte(k)), r) << "block " << k;
            ++k;
            r = 0;
        }
    }
    EXPECT_EQ(k, BlockChecks);
    EXPECT_EQ(IntAt(b, FinalCheckByte), r);
    const std::string out = Load();
    EXPECT_EQ(out.find("Checksum Error"), std::string::npos);
}

TEST_F(SaveFiles, SavedFilesReadBackTheSame) {
    SetId(20260101, 101010, 1234567);
    for (int i = 0; i < OptionCount; ++i)
        if (i < OptUserDate || i > OptUserCheck) G.Option[i] = i % 2;
    G.Option[OptSFXVol] = 3;
    G.Option[OptOverscan] = 10;
    G.Option[OptOnlineName] = 0x2A15;
    G.Option[OptPlays] = 41;
    G.Option[OptBoard] = 3;
    G.Option[150] = -5;
    G.SetKey(InputUp, GLFW_KEY_E);
    G.SetKey(InputButton1, GLFW_KEY_Z);   // moved from its default place to the newest row
    G.SetKey(InputLeft2, 6 * 100 + 50 + 2);   // pad 1, axis 2
    G.SetKey(InputBack, 0);
    for (int i = 0; i < MyGame::ScoreEntries; i += 7) G.ScoreTable[i] = i * 3 + 1;
    Save();
    Load();   // completes the id copy, as a launch would have before this save
    Save();

    const auto settings = Bytes(MyGame::SettingsFile);
    const auto scores = Bytes(ScoreFile);
    std::vector<int> options(G.Option, G.Option + OptionCount);
    std::vector<int> table(G.ScoreTable, G.ScoreTable + MyGame::ScoreEntries);
    auto redef = std::vector<int>(&ASys.redef[0][0], &ASys.redef[0][0] + BindRows * LogicalInputs);
    const std::string id = IdText();

    Defaults();
    const std::string out = Load();
    EXPECT_EQ(std::vector<int>(G.Option, G.Option + OptionCount), options);
    EXPECT_EQ(std::vector<int>(G.ScoreTable, G.ScoreTable + MyGame::ScoreEntries), table);
    EXPECT_EQ(std::vector<int>(&ASys.redef[0][0], &ASys.redef[0][0] + BindRows * LogicalInputs), redef);
    EXPECT_EQ(out.find("Checksum Error"), std::string::npos) << out;
    EXPECT_EQ(out.find("Reset User"), std::string::npos) << out;
    EXPECT_NE(out.find("User ID '" + id + "'"), std::string::npos) << out;
    Save();
    EXPECT_EQ(Bytes(MyGame::SettingsFile), settings);
    EXPECT_EQ(Bytes(ScoreFile), scores);
}

TEST_F(SaveFiles, ChangedScoreInAnyBlockClearsTheBoards) {
    struct Case { const char* what; std::vector<int> entries; std::vector<int> checks; };
    const Case cases[] = {
        {"first block, entry 0", {0}, {}},
        {"first block, entry 1", {1}, {}},
        {"second block, its first entry", {2}, {}},
        {"a board entry", {45}, {}},
        {"second block, its last entry", {38}, {}},
        {"last block", {21979}, {}},
        {"three blocks", {20, 5000, 21950}, {}},
        {"a stored check", {}, {300}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Defaults();
        SetId(20190310, 80000, 777);
        G.Option[OptPlays] = 12;
        G.Option[OptBoard] = 3;
        for (int i = 0; i < MyGame::ScoreEntries; i += 5) G.ScoreTable[i] = 1000 + i;
        Save();
        const std::string id = IdText();
        auto b = Bytes(ScoreFile);
        for (int e : c.entries) PutInt(b, EntryByte(e), IntAt(b, EntryByte(e)) + 10);
        for (int k : c.checks) PutInt(b, CheckByte(k), IntAt(b, CheckByte(k)) + 1);
        WriteBytes(ScoreFile, b);

        Defaults();
        const std::string out = Load();
        EXPECT_EQ(Occurrences(out, "Checksum Error"), 1) << out;
        EXPECT_NE(out.find("Clearing Scoreboard"), std::string::npos) << out;
        EXPECT_EQ(out.find("Reset User"), std::string::npos) << out;   // the id stays
        EXPECT_NE(out.find("User ID '" + id + "'"), std::string::npos) << out;
        for (int i = 0; i < MyGame::ScoreEntries; ++i) ASSERT_EQ(G.ScoreTable[i], 0) << "entry " << i;
        EXPECT_EQ(G.Option[OptPlays], 0);
        EXPECT_EQ(G.Option[OptBoard], 1);
        EXPECT_EQ(G.Option[OptSaveUserDate], 20190310);   // the id copy is made again
        EXPECT_EQ(G.Option[OptSaveUserRand], 777);
    }
}

TEST_F(SaveFiles, StoredChecksOfMissingNumberPass) {
    SetId(20190310, 80000, 777);
    for (int i = 0; i < MyGame::ScoreEntries; i += 3) G.ScoreTable[i] = 50 + i;
    Save();
    auto b = Bytes(ScoreFile);
    for (int k = 0; k < BlockChecks; ++k) PutInt(b, CheckByte(k), -37171);
    EXPECT_EQ(b[CheckByte(0)], 0xCD);   // stored as CD 6E FF FF
    EXPECT_EQ(b[CheckByte(0) + 1], 0x6E);
    PutInt(b, EntryByte(3), 999);       // a change no check can see any more
    WriteBytes(ScoreFile, b);
    Defaults();
    const std::string out = Load();
    EXPECT_EQ(out.find("Checksum Error"), std::string::npos) << out;
    EXPECT_EQ(G.ScoreTable[3], 999);
    EXPECT_EQ(G.ScoreTable[21999], 50 + 21999);
}

TEST_F(SaveFiles, FailedIdCheckPrintsAAndMakesANewId) {
    const long long when = 1783171296;   // some moment of 2026
    auto savedCalendar = CalendarClock;
    static long long fixedTime;
    fixedTime = when;
    CalendarClock = [] { return fixedTime; };
    std::time_t t = when;
    std::tm local{};
    localtime_r(&t, &local);
    const int date = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    const int time = local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;

    // Scores saved under the old id, whose check no longer matches in the settings file.
    SetId(20180704, 123456, 5551234);
    G.ScoreTable[40] = 700;
    Save();
    auto b = Bytes(MyGame::SettingsFile);
    PutInt(b, OptUserCheck * 4, 79478);
    WriteBytes(MyGame::SettingsFile, b);

    Defaults();
    const std::string out = Load();
    CalendarClock = savedCalendar;
    // The A comes right after the settings are read, with no line end of its own.
    const size_t scores = out.find("> Load Scores");
    ASSERT_NE(scores, std::string::npos) << out;
    const size_t lineStart = out.rfind('\n', scores) + 1;
    EXPECT_EQ(out.substr(lineStart, 1), "A") << out;
    EXPECT_NE(out.find("> Load Settings\nA"), std::string::npos) << out;
    // The zeroed id's factors fail the block holding the score.
    EXPECT_EQ(Occurrences(out, "Checksum Error"), 1) << out;
    EXPECT_NE(out.find("Reset User"), std::string::npos) << out;
    EXPECT_NE(out.find("Clearing Scoreboard"), std::string::npos) << out;
    EXPECT_EQ(G.ScoreTable[40], 0);
    EXPECT_EQ(G.Option[OptUserDate], date);
    EXPECT_EQ(G.Option[OptUserTime], time);
    const int rand = G.Option[OptUserRand];
    EXPECT_GE(rand % 10000, 1000);
    EXPECT_LE(rand / 10000, 999);
    EXPECT_EQ(G.Option[OptUserCheck], date % 37171 + time % 17021 + rand % 53496);
    EXPECT_EQ(G.Option[OptSaveUserCheck], date % 53496 + time % 37171 + rand % 17021);
    EXPECT_NE(out.find("User ID '" + IdText() + "'"), std::string::npos) << out;
    EXPECT_LT(out.find("Reset User"), out.find("User ID"));
}

TEST_F(SaveFiles, FirstRunMakesAnIdAndWritesNothing) {
    const std::string out = Load();
    EXPECT_EQ(Occurrences(out, "Error Reading File"), 2) << out;
    EXPECT_EQ(out.find("Checksum Error"), std::string::npos) << out;
    EXPECT_NE(out.find("Reset User"), std::string::npos) << out;
    EXPECT_NE(out.find("User ID '" + IdText() + "'"), std::string::npos) << out;
    EXPECT_GT(G.Option[OptUserDate], 20000000);
    EXPECT_EQ(G.Option[OptBoard], 2);
    EXPECT_EQ(G.Option[OptSFXVol], 7);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(SaveFiles, SaveToAFolderThatCannotBeWrittenGoesOn) {
    snprintf(G.home, sizeof G.home, "%s/missing", dir.c_str());
    const std::string out = Save();
    EXPECT_EQ(Occurrences(out, "Error Writing File"), 2) << out;
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(SaveFiles, ShortFilesKeepTheDefaultsBeyondTheirEnd) {
    // Everything differs from the defaults: options, three inputs' bindings, the scores.
    SetId(20200202, 202020, 2020);
    for (int i = 0; i < OptionCount; ++i)
        if (i < OptUserDate || i > OptUserCheck) G.Option[i] = 1;
    G.SetKey(InputUp, GLFW_KEY_E);
    G.SetKey(InputRight, GLFW_KEY_R);
    G.SetKey(InputDown, GLFW_KEY_T);
    G.SetKey(InputRightShoulder, GLFW_KEY_Y);
    for (int i = 0; i < MyGame::ScoreEntries; ++i) G.ScoreTable[i] = i + 1;
    Save();
    Load();
    Save();
    const auto settings = Bytes(MyGame::SettingsFile);
    const auto scores = Bytes(ScoreFile);
    const std::vector<int> saved(G.Option, G.Option + OptionCount);
    Defaults();
    const std::vector<int> defaults(G.Option, G.Option + OptionCount);
    int defaultRedef[BindRows][LogicalInputs];
    std::memcpy(defaultRedef, ASys.redef, sizeof defaultRedef);

    struct Case { int settingsBytes, scoreBytes; };
    const Case cases[] = {
        {0, 0}, {2, 3}, {40, 200}, {400, 406}, {400 + 3 * 256 + 10, 412}, {SettingsBytes - 1, 416 + 152 * 3 + 6},
        {SettingsBytes, ScoreFileBytes - 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.settingsBytes << " and " << c.scoreBytes << " bytes");
        WriteBytes(MyGame::SettingsFile, {settings.begin(), settings.begin() + c.settingsBytes});
        WriteBytes(ScoreFile, {scores.begin(), scores.begin() + c.scoreBytes});
        Defaults();
        const std::string out = Load();
        EXPECT_EQ(out.find("Checksum Error"), std::string::npos) << out;
        const int settingsInts = c.settingsBytes / 4, scoreInts = c.scoreBytes / 4;
        for (int i = 0; i < OptionCount; ++i) {
            if (i >= OptUserDate && i <= OptUserCheck) continue;
            if (i >= OptSaveUserDate && i <= OptSaveUserCheck) continue;
            const bool stored = i < 100 ? i < settingsInts : i - 100 < scoreInts;
            EXPECT_EQ(G.Option[i], stored ? saved[i] : defaults[i]) << "option " << i;
        }
        EXPECT_EQ(out.find("Reset User") == std::string::npos, settingsInts > OptUserCheck) << out;
        // An input's bindings come from the file only when all 64 rows are in it.
        const int wholeInputs = std::max(0, (settingsInts - 100) / BindRows);
        for (int input = 0; input < LogicalInputs; ++input)
            for (int row = 0; row < BindRows; ++row) {
                const int expected = input < wholeInputs ? IntAt(settings, 400 + (64 * input + row) * 4)
                                                         : defaultRedef[row][input];
                ASSERT_EQ(ASys.redef[row][input], expected) << "input " << input << " row " << row;
            }
        for (int i = 0; i < MyGame::ScoreEntries; ++i) {
            const bool stored = EntryByte(i) + 4 <= c.scoreBytes;
            ASSERT_EQ(G.ScoreTable[i], stored ? i + 1 : 0) << "entry " << i;
        }
    }
}

TEST_F(SaveFiles, ScoreFileNameMakesTheTitleSafe) {
    struct Case { std::string title, file; };
    const Case cases[] = {
        {"A&B C", "Save_556_A_B_C.sav"},
        {"&`\">#^{}<|%?+$, ", "Save_556_________________.sav"},
        {"x&y`z\"1>2#3^4{5}6<7|8%9?0+a$b,c d", "Save_556_x_y_z_1_2_3_4_5_6_7_8_9_0_a_b_c_d.sav"},
        {"Caf\xC3\xA9 \xFFNoir", "Save_556_Caf_Noir.sav"},
        {"a-b.c!(x)=y*'z;~[]@", "Save_556_a-b.c!(x)=y*'z;~[]@.sav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        fs::remove_all(dir);
        fs::create_directories(dir);
        G.SetTitle(c.title);
        EXPECT_EQ(G.GameSaveFile(), c.file);
        Save();
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir)) files.insert(entry.path().filename().string());
        EXPECT_EQ(files, (std::set<std::string>{"Settings.sav", c.file}));
    }
}

TEST_F(SaveFiles, RandomBytesLoadWithoutHarm) {
    struct Case { int seed, settingsBytes, scoreBytes; };
    const Case cases[] = {
        {1, SettingsBytes, ScoreFileBytes}, {2, SettingsBytes, ScoreFileBytes}, {3, 1000, 5000},
        {4, 3, ScoreFileBytes + 100},       {5, SettingsBytes + 9, 411},      {6, 400, 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "seed " << c.seed);
        std::mt19937 rng(c.seed);
        auto noise = [&](int n) {
            std::vector<unsigned char> v(n);
            for (auto& x : v) x = rng() & 0xFF;
            return v;
        };
        WriteBytes(MyGame::SettingsFile, noise(c.settingsBytes));
        WriteBytes(ScoreFile, noise(c.scoreBytes));
        Defaults();
        const std::string out = Load();
        ExpectBindingsUsable();
        ExpectOptionsInRange();
        EXPECT_NE(out.find("User ID '" + IdText() + "'"), std::string::npos) << out;
        if (c.scoreBytes >= FirstCheckByte + 4) {
            EXPECT_EQ(Occurrences(out, "Checksum Error"), 1) << out;
            EXPECT_EQ(G.ScoreTable[20], 0);
        }
        Save();   // and what was loaded saves as a whole pair of files
        EXPECT_EQ(int(Bytes(MyGame::SettingsFile).size()), SettingsBytes);
        EXPECT_EQ(int(Bytes(ScoreFile).size()), ScoreFileBytes);
    }
}

TEST_F(SaveFiles, AbsurdBindingCodesAreSkipped) {
    Save();
    auto b = Bytes(MyGame::SettingsFile);
    const int absurd[] = {INT_MIN, INT_MAX, -1, -37170, 1, 31, 349, 499, 598, 599, 900, 1000, 12345, 4 * 100 + 99};
    auto put = [&](int input, int row, int code) { PutInt(b, 400 + (64 * input + row) * 4, code); };
    // InputLeft: nothing but absurd codes. InputButton3: absurd codes around two usable ones.
    for (int row = 0; row < BindRows; ++row) {
        put(InputLeft, row, absurd[row % std::size(absurd)]);
        put(InputButton3, row, absurd[(row + 5) % std::size(absurd)]);
    }
    put(InputButton3, 40, GLFW_KEY_Q);
    put(InputButton3, 63, 8 * 100 + 97);   // pad 3, the last entry a binding reads
    WriteBytes(MyGame::SettingsFile, b);

    Defaults();
    int defaults[BindRows][LogicalInputs];
    std::memcpy(defaults, ASys.redef, sizeof defaults);
    Load();
    ExpectBindingsUsable();
    for (int row = 0; row < BindRows; ++row) EXPECT_EQ(ASys.redef[row][InputLeft], defaults[row][InputLeft]);
    EXPECT_EQ(G.KeyValue(InputButton3, 63), 897);
    EXPECT_EQ(G.KeyValue(InputButton3, 62), GLFW_KEY_Q);
    EXPECT_EQ(G.KeyValue(InputUp, 63), defaults[63][InputUp]);
}

// A save killed at any moment leaves each file whole: the one before or the one after.
TEST_F(SaveFiles, KilledSavesLeaveWholeFiles) {
    // Version n of the pair: n in options 60..99 and 150..199 and in every 100th score entry.
    auto makeVersion = [&](int n) {
        for (int i = 60; i < 100; ++i) G.Option[i] = n;
        for (int i = 150; i < 200; ++i) G.Option[i] = n;
        for (int i = 0; i < MyGame::ScoreEntries; i += 100) G.ScoreTable[i] = n;
    };
    auto versionOf = [&](const std::vector<unsigned char>& settings, const std::vector<unsigned char>& scores) {
        const int n = IntAt(settings, 60 * 4);
        for (int i = 60; i < 100; ++i) EXPECT_EQ(IntAt(settings, i * 4), n);
        const int m = IntAt(scores, (150 - 100) * 4);
        for (int i = 150; i < 200; ++i) EXPECT_EQ(IntAt(scores, (i - 100) * 4), m);
        for (int i = 0; i < MyGame::ScoreEntries; i += 100) EXPECT_EQ(IntAt(scores, EntryByte(i)), m);
        return std::make_pair(n, m);
    };
    SetId(20210506, 70809, 31337);
    int settingsVersion = 1, scoreVersion = 1;
    makeVersion(1);
    Save();
    std::mt19937 rng(2026);
    int unfinished = 0;   // temporary files that kills left, counted after each kill
    for (int round = 0; round < 100; ++round) {
        const int first = scoreVersion + 1;   // the child goes on from the whole pair
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int n = first;; ++n) {
                makeVersion(n);
                G.Save();
            }
        }
        usleep(rng() % 20000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const auto settings = Bytes(MyGame::SettingsFile);
        const auto scores = Bytes(ScoreFile);
        SCOPED_TRACE(testing::Message() << "kill " << round);
        // A file has at most one unfinished temporary file beside it from this round: that of
        // the save of it that was cut off. Those of earlier rounds are made an hour old here,
        // and saves clear such leftovers (the last save below clears what is left).
        for (const std::string file : {MyGame::SettingsFile, ScoreFile}) {
            int fresh = 0;
            for (const auto& entry : fs::directory_iterator(dir)) {
                struct stat info {};
                if (entry.path().filename().string().rfind(file + ".tmp-", 0) != 0 ||
                    stat(entry.path().c_str(), &info) != 0 || info.st_mtime < std::time(nullptr) - 60)
                    continue;
                ++fresh;
                MakeHourOld(entry.path().string());
            }
            EXPECT_LE(fresh, 1) << file;
            unfinished += fresh;
        }
        ASSERT_EQ(int(settings.size()), SettingsBytes);
        ASSERT_EQ(int(scores.size()), ScoreFileBytes);
        const auto [n, m] = versionOf(settings, scores);
        // Each file is the one before the kill or one written since; the settings file is
        // written first, so it is the score file's version or one ahead.
        EXPECT_GE(n, settingsVersion);
        EXPECT_GE(m, scoreVersion);
        EXPECT_TRUE(n == m || n == m + 1) << n << " and " << m;
        const std::string out = Load();
        EXPECT_EQ(out.find("Checksum Error"), std::string::npos) << out;
        EXPECT_EQ(out.find("Reset User"), std::string::npos) << out;
        settingsVersion = n;
        scoreVersion = m;
        if (HasFailure()) break;
    }
    // The kills did land inside writes: each of those left its unfinished temporary file.
    EXPECT_GT(unfinished, 0);
    Save();
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

}  // namespace
