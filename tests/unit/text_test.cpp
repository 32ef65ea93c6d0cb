// Bitmap-font text: the advance table, string and character widths, where each glyph record
// lands for the alignments and rotations, and what an empty font slot does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VornCore.h"
#include "fakes.h"

namespace {

constexpr int Font = 51;
VornCore Core;   // the core alone, as a game object would hold it

struct Glyph {
    double x, y;     // record position, back in screen coordinates
    int frame;
    double rotation;
};

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        ASys.VirtualWidth = 800;
        ASys.ImageZoom = 1;
        ViewScale = 2 / ASys.VirtualWidth;
        rw2 = 400;
        rh2 = 300;
        ASys.DrawTo = 0;
        for (int& f : ASys.iFrames) f = -1;
        ASys.iFrames[Font] = 96;
        ASys.FontImage = Font;
        Core.ResetDraw();
    }

    // Every record of the list as a glyph of the font.
    static std::vector<Glyph> Glyphs() {
        std::vector<Glyph> out;
        for (int i = 0; i < ASys.DrawTo; ++i) {
            const double* r = ASys.Draw + i * DrawFields;
            EXPECT_EQ(r[FieldCode], CmdImage);
            EXPECT_EQ(r[FieldSlot], Font);
            out.push_back({r[FieldX] + rw2, r[FieldY] + rh2, static_cast<int>(r[FieldFrame]), r[FieldRotation]});
        }
        return out;
    }
};

TEST_F(TextTest, AdvanceTableHoldsTheFontWidths) {
    struct Case {
        const char* chars;
        int advance;
    } cases[] = {
        {"!',.:;il`|", 5}, {"()[]j", 10}, {"{", 11}, {"\"^}", 12}, {"0123456789V_", 16}, {"#", 19},
        {"%MWw", 22},      {"m~@", 25},  {" $&*+-/<=>?AELNUXZ\\ahknvxz", 15},
    };
    for (const Case& c : cases)
        for (const char* p = c.chars; *p; ++p) EXPECT_EQ(fontw[*p - 32], c.advance) << "character " << *p;
    for (int n = 95; n < FontwEntries; ++n) EXPECT_EQ(fontw[n], 0) << "entry " << n;
    int printable = 0;
    for (int n = 0; n < 95; ++n) printable += fontw[n] != 0;
    EXPECT_EQ(printable, 95);
}

TEST_F(TextTest, StringWidthSumsAdvancesAtTheTextScale) {
    struct Case {
        std::string s;
        float size;
        float width;
    } cases[] = {
        {"Hi", 1, 18},
        {"Hi", 2, 36},
        {"", 1, 0},
        {"\x7f", 1, -1},                       // code 127 has entry 0
        {"\x7f", 3, -3},
        {"H\ni", 1, 18},                       // control bytes add nothing
        {"H\xe9i", 1, 18},                     // nor do bytes above 127
        {std::string("Hi\0Hi", 5), 1, 18},     // the text ends at its first zero byte
        {"mW 1", 0.5f, (24 + 21 + 14 + 15) * 0.5f},
    };
    for (const Case& c : cases) {
        Core.SetSize(c.size);
        EXPECT_FLOAT_EQ(Core.StringWidth(c.s), c.width) << "\"" << c.s << "\" at " << c.size;
    }
}

TEST_F(TextTest, CharacterWidthIsItsAdvanceOrZero) {
    Core.SetSize(2);
    EXPECT_FLOAT_EQ(Core.StringWidth('m'), 48);
    EXPECT_FLOAT_EQ(Core.CharWidth('m'), 48);
    EXPECT_FLOAT_EQ(Core.CharWidth('\x7f'), -2);
    EXPECT_FLOAT_EQ(Core.CharWidth('\n'), 0);
    EXPECT_FLOAT_EQ(Core.CharWidth('\xe9'), 0);
}

TEST_F(TextTest, StringGlyphsFollowTheAlignment) {
    struct Case {
        float align;
        double first, second;
    } cases[] = {{1, 105, 119}, {2, 96, 110}, {0, 114, 128}};
    for (const Case& c : cases) {
        ASys.DrawTo = 0;
        Core.Text(100, 50, "Hi", c.align);
        std::vector<Glyph> g = Glyphs();
        ASSERT_EQ(g.size(), 2u);
        EXPECT_NEAR(g[0].x, c.first, 1e-4) << "align " << c.align;
        EXPECT_NEAR(g[1].x, c.second, 1e-4) << "align " << c.align;
        EXPECT_NEAR(g[0].y, 50, 1e-4);
        EXPECT_NEAR(g[1].y, 50, 1e-4);
        EXPECT_EQ(g[0].frame, 'H' - 32);
        EXPECT_EQ(g[1].frame, 'i' - 32);
    }
    // The three-argument form is left-aligned.
    ASys.DrawTo = 0;
    Core.Text(100, 50, std::string("Hi"));
    EXPECT_NEAR(Glyphs().at(0).x, 114, 1e-4);
}

TEST_F(TextTest, StringDistancesScaleWithTheSize) {
    Core.SetSize(2);
    Core.Text(100, 50, "Hi", 1);
    std::vector<Glyph> g = Glyphs();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_NEAR(g[0].x, 100 - 18 + 28, 1e-4);
    EXPECT_NEAR(g[1].x, 100 - 18 + 56, 1e-4);
    const double* r = ASys.Draw;
    EXPECT_FLOAT_EQ(r[FieldW], 800);     // the draw state's scale: 2 / ViewScale
    EXPECT_FLOAT_EQ(r[FieldH], -800);
}

TEST_F(TextTest, RotatedTextRunsAlongItsDirection) {
    Core.SetRot(90);
    Core.Text(100, 50, "Hi", 1);
    std::vector<Glyph> g = Glyphs();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_NEAR(g[0].x, 100, 1e-3);
    EXPECT_NEAR(g[0].y, 55, 1e-3);
    EXPECT_NEAR(g[1].x, 100, 1e-3);
    EXPECT_NEAR(g[1].y, 69, 1e-3);
    EXPECT_EQ(g[0].rotation, 90);    // each glyph is turned too
}

TEST_F(TextTest, ControlAndHighBytesDrawFrameZeroWithoutMoving) {
    Core.Text(100, 50, "A\nB\xe9" "C");
    std::vector<Glyph> g = Glyphs();
    ASSERT_EQ(g.size(), 5u);
    EXPECT_EQ(g[1].frame, '\n' - 32);          // negative: the renderer shows frame 0
    EXPECT_EQ(g[3].frame, -23 - 32);           // 0xe9 as a signed char
    EXPECT_NEAR(g[1].x, g[2].x, 1e-4);         // the line break took no room
    EXPECT_NEAR(g[3].x, g[4].x, 1e-4);
    EXPECT_NEAR(g[2].x - g[0].x, 14, 1e-4);
}

TEST_F(TextTest, SingleCharacterIsCentredByDefault) {
    struct Case {
        float align;
        double x;
    } cases[] = {{1, 100 - 14.5 + 7}, {0, 107}, {2, 100 - 29 + 7}};
    for (const Case& c : cases) {
        ASys.DrawTo = 0;
        Core.Text(100, 50, 'A', c.align);
        std::vector<Glyph> g = Glyphs();
        ASSERT_EQ(g.size(), 1u);
        EXPECT_NEAR(g[0].x, c.x, 1e-4) << "align " << c.align;
        EXPECT_EQ(g[0].frame, 'A' - 32);
    }
    // Unlike a one-character string: "A" centred lands at x + 7, 'A' at x - 7.5.
    ASys.DrawTo = 0;
    Core.Text(100, 50, 'A');
    Core.Text(100, 50, "A", 1);
    std::vector<Glyph> g = Glyphs();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_NEAR(g[0].x, 92.5, 1e-4);
    EXPECT_NEAR(g[1].x, 107, 1e-4);
}

TEST_F(TextTest, CharacterAlignmentIsNotScaledButItsLeadIs) {
    Core.SetSize(2);
    Core.Text(100, 50, 'A', 1);
    EXPECT_NEAR(Glyphs().at(0).x, 100 - 14.5 + 14, 1e-4);
}

TEST_F(TextTest, EmptyFontSlotLogsOncePerCharacter) {
    ASys.iFrames[Font] = -1;
    testing::internal::CaptureStdout();
    Core.Text(10, 10, "abc");
    Core.Text(10, 10, 'd');
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ASys.DrawTo, 0);
    size_t lines = 0;
    for (size_t at = out.find("> Missing Image 51\n"); at != std::string::npos;
         at = out.find("> Missing Image 51\n", at + 1))
        ++lines;
    EXPECT_EQ(lines, 4u);
}

TEST_F(TextTest, TextStopsAtAFullDrawList) {
    ASys.DrawTo = DrawListRecords - 1;
    testing::internal::CaptureStdout();
    Core.Text(10, 10, "overflow");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ASys.DrawTo, DrawListRecords);
}

}  // namespace
