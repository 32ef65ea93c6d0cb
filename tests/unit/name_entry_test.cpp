// The online name: its packing in options 50..55 for every symbol and position, its text,
// and the name entry screen: the wheel with its repeat, moving between boxes, copying,
// blanking and the ways back to the options screen.
#include <GLFW/glfw3.h>

#include <string>
#include <vector>

#include "menu_screens.h"

namespace {

// The 64 symbols in code order; code 0 shows as a space.
const std::string Alphabet = " -0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int LatchButtons = 11;

class NameEntry : public MenuScreens {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        Settle();   // nothing underneath the overlays
    }
    // The name as twelve symbols of the alphabet, written through the packing.
    void SetName(const std::string& name) {
        for (int i = 0; i < MyGame::NameLength; i++)
            G.SetNameCode(i, static_cast<int>(Alphabet.find(i < static_cast<int>(name.size()) ? name[i] : ' ')));
    }
    // The twelve symbols, blanks as spaces, read through the packing.
    std::string Name() {
        std::string s;
        for (int i = 0; i < MyGame::NameLength; i++) s += Alphabet[G.NameCode(i)];
        return s;
    }
    static std::string Padded(std::string s) { return s.append(MyGame::NameLength - s.size(), ' '); }
    // Opens the screen as the options row does and lets the opening latches go.
    void Open(int box = 0) {
        G.MenuScreen = ScreenName;
        G.LockKeys();
        G.OptionCursor = box;
        ReleaseAll();
        Step();
    }
};

TEST_F(NameEntry, EverySymbolPacksIntoItsOwnSixBitsAtEveryPosition) {
    for (int i = 0; i < MyGame::NameLength; i++) {
        for (int code = 0; code < 64; code++) {
            SCOPED_TRACE("character " + std::to_string(i) + ", code " + std::to_string(code));
            std::fill(G.Option + OptOnlineName, G.Option + OptOnlineName + 6, 0);
            const int neighbour = i ^ 1;   // the other character of the same option
            G.SetNameCode(neighbour, 37);  // "Z"
            G.SetNameCode(i, code);
            EXPECT_EQ(G.NameCode(i), code);
            EXPECT_EQ(G.NameCode(neighbour), 37);
            const int even = i % 2 ? 37 : code, odd = i % 2 ? code : 37;
            EXPECT_EQ(G.Option[OptOnlineName + i / 2], odd * 256 + even);
            const std::string shown = G.ShowName();
            ASSERT_EQ(shown.size(), 12u);
            EXPECT_EQ(shown[i], Alphabet[code]);
        }
    }
}

TEST_F(NameEntry, ShowNameGivesTheTwelveSymbolsOrAskForANameWhenAllAreBlank) {
    struct Case {
        const char* name;
        std::string stored, shown;
    };
    const Case cases[] = {
        {"no name", "", "Enter Your Name"},
        {"one symbol, spaces kept", "-", "-           "},
        {"inner and trailing spaces", "Al 9 z", "Al 9 z      "},
        {"a full name", "Brindle-Wick", "Brindle-Wick"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetName(c.stored);
        EXPECT_EQ(G.ShowName(), c.shown);
    }
    // Bits outside the two codes of an option are not part of the name.
    SetName("");
    G.Option[OptOnlineName + 1] = ~((63 << 8) | 63);
    EXPECT_EQ(G.ShowName(), "Enter Your Name");
}

TEST_F(NameEntry, DrawsTheHeadingAndTheNameInTwelveBoxes) {
    SetName("Ann");
    Open();
    EXPECT_TRUE(Drew("Enter Your Name"));
    // Each box shows its symbol; the selected box adds its wheel of neighbours.
    EXPECT_TRUE(Drew("nn         "));
}

TEST_F(NameEntry, EditingKeys) {
    struct Case {
        const char* name;
        std::string start;
        int box, key, presses;
        std::string expected;
        int expectedBox;
    };
    const Case cases[] = {
        {"down on a blank box", "", 0, GLFW_KEY_DOWN, 1, "-", 0},
        {"up on a blank box", "", 0, GLFW_KEY_UP, 1, "z", 0},
        {"down on z wraps to blank", "z", 0, GLFW_KEY_DOWN, 1, "", 0},
        {"up twice", "C", 0, GLFW_KEY_UP, 2, "A", 0},
        {"down in the last box", "", 11, GLFW_KEY_DOWN, 3, "           1", 11},
        {"right moves on", "AB", 0, GLFW_KEY_RIGHT, 2, "AB", 2},
        {"right on the last box wraps", "", 11, GLFW_KEY_RIGHT, 1, "", 0},
        {"left on the first box wraps", "", 0, GLFW_KEY_LEFT, 1, "", 11},
        {"button 1 copies into the next box", "abcdKQ", 4, GLFW_KEY_Z, 1, "abcdKK", 5},
        {"button 1 twice", "Q", 0, GLFW_KEY_Z, 2, "QQQ", 2},
        {"button 1 on the last box does nothing", "           x", 11, GLFW_KEY_Z, 1, "           x", 11},
        {"button 2 blanks and steps back", "abcd", 3, GLFW_KEY_X, 1, "abc", 2},
        {"button 2 on the first box stays", "abcd", 0, GLFW_KEY_X, 1, " bcd", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetName(c.start);
        Open(c.box);
        for (int i = 0; i < c.presses; i++) Tap(c.key);
        EXPECT_EQ(Name(), Padded(c.expected));
        EXPECT_EQ(G.OptionCursor, c.expectedBox);
        EXPECT_EQ(G.MenuScreen, ScreenName);
    }
}

TEST_F(NameEntry, AHeldWheelKeyStepsAtOnceThenRepeatsFasterAndFaster) {
    Open();
    Hold(GLFW_KEY_DOWN);
    std::vector<int> steps;
    for (int update = 1; update <= 80; update++) {
        const int before = G.NameCode(0);
        Step();
        if (G.NameCode(0) != before) steps.push_back(update);
    }
    // Waits of 30, 22, 14 and 6 updates, then one step every 2.
    EXPECT_EQ(steps, (std::vector<int>{1, 31, 53, 67, 73, 75, 77, 79}));
    // Released and held again, it starts over with the long wait.
    Hold(GLFW_KEY_DOWN, false);
    Step();
    const int code = G.NameCode(0);
    Hold(GLFW_KEY_DOWN);
    for (int i = 0; i < 30; i++) Step();
    EXPECT_EQ(G.NameCode(0), code + 1);
}

TEST_F(NameEntry, SelectingABoxClearsStrayBitsOfItsOption) {
    SetName("abcd");
    const int clean = G.Option[OptOnlineName + 1];
    G.Option[OptOnlineName + 1] = clean | (1 << 6) | (1 << 7) | (1 << 14) | (1 << 30);
    Open(3);
    EXPECT_EQ(G.Option[OptOnlineName + 1], clean);
    EXPECT_EQ(G.ShowName(), "abcd        ");
}

TEST_F(NameEntry, ExitsReturnToTheOptionsScreenOnItsFirstRow) {
    struct Case {
        const char* name;
        int key;
    };
    const Case cases[] = {
        {"button 3", GLFW_KEY_C},
        {"button 4", GLFW_KEY_V},
        {"Return, which leaves instead of copying", GLFW_KEY_ENTER},
        {"Escape", GLFW_KEY_ESCAPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetName("Wren");
        Open(2);
        Hold(c.key);
        Step();
        EXPECT_EQ(G.MenuScreen, ScreenOptions);
        EXPECT_EQ(G.OptionCursor, 0);
        EXPECT_EQ(G.KeyLatch[LatchButtons], 1);
        EXPECT_EQ(G.ShowName(), "Wren        ");   // kept as edited; there is no cancel
        Hold(c.key, false);
        Step();
    }
}

TEST_F(NameEntry, AnExitPressedWithButtonOneWaitsUntilBothAreReleased) {
    SetName("Jo");
    Open(0);
    Hold(GLFW_KEY_Z);
    Hold(GLFW_KEY_C);
    Step();
    EXPECT_EQ(G.MenuScreen, ScreenName);
    EXPECT_EQ(G.OptionCursor, 1);
    EXPECT_EQ(G.ShowName(), "JJ          ");
    for (int i = 0; i < 5; i++) Step();
    EXPECT_EQ(G.MenuScreen, ScreenName);
    ReleaseAll();
    Step();
    Hold(GLFW_KEY_C);
    Step();
    EXPECT_EQ(G.MenuScreen, ScreenOptions);
}

TEST_F(NameEntry, OutOfRangeCharactersAreNeitherReadNorWritten) {
    SetName("Kit");
    const std::vector<int> before(G.Option + OptOnlineName - 1, G.Option + OptOnlineName + 7);
    G.SetNameCode(-1, 5);
    G.SetNameCode(12, 5);
    EXPECT_EQ(std::vector<int>(G.Option + OptOnlineName - 1, G.Option + OptOnlineName + 7), before);
    EXPECT_EQ(G.NameCode(-1), 0);
    EXPECT_EQ(G.NameCode(12), 0);
}

}  // namespace
