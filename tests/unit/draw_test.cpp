// The draw state and the flat shapes: clamps and defaults of the state calls, the record each
// shape call appends (code, centre-relative positions, sizes, state copy) and the capacity
// guard of the draw list.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "VornCore.h"
#include "fakes.h"

namespace {
VornCore Core;

class Draw : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        ViewScale = 2.0f / 800;
        rw2 = 400;
        rh2 = 300;
        ASys.DrawTo = 0;
        ASys.CurBlend = BlendAlpha;
        DrawListFullLogged = 0;
        Core.ResetDraw();
    }
    void TearDown() override { ASys.DrawTo = 0; }

    static const double* Record(int n) { return ASys.Draw + n * DrawFields; }
    // Colour A and B of the draw state as (alpha, red, green, blue).
    static std::vector<float> ColourA() {
        const float* s = ASys.DrawSet;
        return {s[DsAlphaA], s[DsRedA], s[DsGreenA], s[DsBlueA]};
    }
    static std::vector<float> ColourB() {
        const float* s = ASys.DrawSet;
        return {s[DsAlphaB], s[DsRedB], s[DsGreenB], s[DsBlueB]};
    }
};

using Colour = std::vector<float>;
}  // namespace

TEST_F(Draw, ResetDrawRestoresSizeColoursRotationAndThickness) {
    Core.SetSize(3);
    Core.SetCol(1, 2, 3, 0.5f);
    Core.SetRot(45);
    Core.Thick(6);
    Core.ResetDraw();
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleX], 400);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleY], -400);
    EXPECT_EQ(ColourA(), (Colour{255, 255, 255, 255}));
    EXPECT_EQ(ColourB(), (Colour{255, 255, 255, 255}));
    EXPECT_EQ(ASys.DrawSet[DsRotation], 0);
    EXPECT_EQ(ASys.DrawSet[DsHalfThick], 0.5f);
}

TEST_F(Draw, ColourCallsClampEveryChannel) {
    struct Case {
        const char* name;
        std::function<void()> call;
        Colour a, b;
    };
    const Case cases[] = {
        {"SetCol clamps and scales alpha", [] { Core.SetCol(300, -5, 128, 2); },
         {255, 255, 0, 128}, {255, 255, 0, 128}},
        {"SetCol without alpha keeps both alphas",
         [] { Core.SetGradient(0, 0, 0, 0.25f, 0, 0, 0, 0.5f); Core.SetCol(10, 20, 30); },
         {127.5f, 10, 20, 30}, {63.75f, 10, 20, 30}},
        {"SetGradient puts the first colour in B", [] { Core.SetGradient(255, 0, 0, 1, 0, 0, 255, 1); },
         {255, 0, 0, 255}, {255, 255, 0, 0}},
        {"SetGradient clamps", [] { Core.SetGradient(-1, 999, 5, -2, 256, -0.5f, 7, 9); },
         {255, 255, 0, 7}, {0, 0, 255, 5}},
        {"SetAlpha below 0", [] { Core.SetAlpha(-1); }, {0, 255, 255, 255}, {0, 255, 255, 255}},
        {"Alpha above 1", [] { Core.Alpha(3); }, {255, 255, 255, 255}, {255, 255, 255, 255}},
        {"Ink 12 is orange", [] { Core.Ink(12); }, {255, 255, 128, 0}, {255, 255, 128, 0}},
        {"Ink -1 wraps to white", [] { Core.Ink(-1); }, {255, 255, 255, 255}, {255, 255, 255, 255}},
        {"Ink -8 wraps to orange", [] { Core.Ink(-8); }, {255, 255, 128, 0}, {255, 255, 128, 0}},
        {"Ink 7 is violet", [] { Core.Ink(7); }, {255, 180, 0, 255}, {255, 180, 0, 255}},
        {"InkRot 120 is opaque green", [] { Core.SetAlpha(0.5f); Core.InkRot(120); },
         {255, 0, 255, 0}, {255, 0, 255, 0}},
        {"InkRot without saturation is white", [] { Core.InkRot(77, 0); },
         {255, 255, 255, 255}, {255, 255, 255, 255}},
        {"InkRot value scales", [] { Core.InkRot(240, 1, 0.5f); }, {255, 0, 0, 127.5f}, {255, 0, 0, 127.5f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Core.ResetDraw();
        c.call();
        EXPECT_EQ(ColourA(), c.a);
        EXPECT_EQ(ColourB(), c.b);
    }
}

TEST_F(Draw, HueWheelOfHSV2RGB) {
    struct Case { double h; float r, g, b; };
    const Case cases[] = {
        {0, 255, 0, 0},   {30, 255, 127.5f, 0}, {60, 255, 255, 0}, {120, 0, 255, 0},
        {180, 0, 255, 255}, {240, 0, 0, 255},   {300, 255, 0, 255}, {360, 255, 0, 0},
        {720 + 60, 255, 255, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.h);
        Core.HSV2RGB(c.h, 1, 1);
        EXPECT_NEAR(ASys.DrawSet[DsRedA], c.r, 0.01);
        EXPECT_NEAR(ASys.DrawSet[DsGreenA], c.g, 0.01);
        EXPECT_NEAR(ASys.DrawSet[DsBlueA], c.b, 0.01);
        EXPECT_EQ(ASys.DrawSet[DsAlphaB], 255);
    }
}

TEST_F(Draw, LineThicknessHasAFloorAndFourNames) {
    Core.SetLineThickness(0);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsHalfThick], 0.025f);
    Core.Thick(4);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsHalfThick], 2);
    Core.Width(3);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsHalfThick], 1.5f);
    Core.SetLineWidth(8);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsHalfThick], 4);
    Core.SetLineThick(-3);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsHalfThick], 0.025f);
}

TEST_F(Draw, SizeRotationSmoothingAndFont) {
    Core.SetSize(2);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleX], 800);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleY], -800);
    Core.SetSize(-1, 0.5f);   // a negative size draws mirrored
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleX], -400);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleY], -200);
    Core.SetRot(-720);
    EXPECT_EQ(ASys.DrawSet[DsRotation], -720);
    Core.Smooth(1);
    EXPECT_EQ(ASys.DrawSet[DsSmooth], 1.0f);
    Core.SetSmooth(0);
    EXPECT_EQ(ASys.DrawSet[DsSmooth], 0.0f);
    Core.SetFont(51);
    EXPECT_EQ(ASys.FontImage, 51);
}

TEST_F(Draw, ClearColourCalls) {
    Core.CLS(300, -1, 10);
    for (int k = 0; k < 3; k++) EXPECT_EQ(ASys.DrawSet[DsClearNow + k], ASys.DrawSet[DsClearTarget + k]);
    EXPECT_EQ(ASys.DrawSet[DsClearNow], 255);
    EXPECT_EQ(ASys.DrawSet[DsClearNow + 1], 0);
    EXPECT_EQ(ASys.DrawSet[DsClearNow + 2], 10);
    EXPECT_EQ(ASys.DrawSet[DsClearDivisor], 1);

    Core.SetCLS(1, 2, 3);
    Core.FadeCLS(0, 0, 80, 8);   // the current colour stays, the renderer eases toward the target
    EXPECT_EQ(ASys.DrawSet[DsClearNow], 1);
    EXPECT_EQ(ASys.DrawSet[DsClearNow + 2], 3);
    EXPECT_EQ(ASys.DrawSet[DsClearTarget + 2], 80);
    EXPECT_EQ(ASys.DrawSet[DsClearDivisor], 8);
    Core.FadeCLS(-9, 400, 0, 0.5f);   // the divisor is not clamped
    EXPECT_EQ(ASys.DrawSet[DsClearTarget], 0);
    EXPECT_EQ(ASys.DrawSet[DsClearTarget + 1], 255);
    EXPECT_EQ(ASys.DrawSet[DsClearDivisor], 0.5f);

    for (float hue = 0; hue < 360; hue += 15) {
        Core.SetCLSRot(hue, 0, 50);
        for (int k = 0; k < 3; k++) {
            EXPECT_GE(ASys.DrawSet[DsClearNow + k], 0);
            EXPECT_LE(ASys.DrawSet[DsClearNow + k], 100);
            EXPECT_EQ(ASys.DrawSet[DsClearTarget + k], ASys.DrawSet[DsClearNow + k]);
        }
    }
    Core.SetCLSRot(90, 0, 50);   // red = 50 + 50 sin 90
    EXPECT_NEAR(ASys.DrawSet[DsClearNow], 100, 0.01);
    Core.SetCLSRot(90, -100, 300);   // low and high clamped first, the result again
    EXPECT_EQ(ASys.DrawSet[DsClearNow], 255);
}

TEST_F(Draw, EveryShapeCallAppendsItsRecord) {
    struct Case {
        const char* name;
        std::function<void()> call;
        int code;
        std::vector<double> fields;   // fields 1.. of the record
    };
    const double h = 8.660254;   // 10 sin 120
    const Case cases[] = {
        {"Rect", [] { Core.Rect(410, 320, 30, 40); }, CmdRect, {10, 20, 30, -40}},
        {"Rect at size 2", [] { Core.SetSize(2); Core.Rect(410, 320, 30, 40); }, CmdRect, {10, 20, 60, -80}},
        {"Rect square", [] { Core.Rect(410, 320, 30); }, CmdRect, {10, 20, 30, -30}},
        {"Plot", [] { Core.Plot(410, 320); }, CmdRect, {10, 20, 1, -1}},
        {"Rect_UL covers 10..40 x 20..60", [] { Core.Rect_UL(10, 20, 30, 40); }, CmdRect, {-375, -260, 30, -40}},
        {"Rect_UL square", [] { Core.Rect_UL(10, 20, 30); }, CmdRect, {-375, -265, 30, -30}},
        {"Quad", [] { Core.Quad(401, 302, 403, 304, 405, 306, 407, 308); }, CmdQuad, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Quad ignores size", [] { Core.SetSize(5); Core.Quad(401, 302, 403, 304, 405, 306, 407, 308); },
         CmdQuad, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Line straight up: colour A on +x", [] { Core.Line(400, 300, 400, 290); }, CmdQuad,
         {0.5, 0, 0.5, -10, -0.5, -10, -0.5, 0}},
        {"Line to the right, thickness 4", [] { Core.Thick(4); Core.Line(400, 300, 410, 300); }, CmdQuad,
         {0, 2, 10, 2, 10, -2, 0, -2}},
        {"Oval", [] { Core.Oval(410, 320, 30, 40); }, CmdOval, {10, 20, 30, -40}},
        {"Oval radius", [] { Core.Oval(410, 320, 5); }, CmdOval, {10, 20, 10, -10}},
        {"Circle", [] { Core.Circle(410, 320, 5); }, CmdOval, {10, 20, 10, -10}},
        {"Oval_UL", [] { Core.Oval_UL(10, 20, 30, 40); }, CmdOval, {-375, -260, 30, -40}},
        {"Oval_UL radius", [] { Core.Oval_UL(10, 20, 5); }, CmdOval, {-385, -275, 10, -10}},
        {"Circle_UL", [] { Core.Circle_UL(10, 20, 5); }, CmdOval, {-385, -275, 10, -10}},
        {"Fan", [] { Core.SetSize(0.5f); Core.Fan(410, 320, 5); }, CmdFan, {10, 20, 5, -5}},
        {"FullTri", [] { Core.FullTri(401, 302, 403, 304, 405, 306); }, CmdTri, {1, 2, 3, 4, 5, 6}},
        {"Tri points up", [] { Core.Tri(400, 300, 10, 10); }, CmdTri, {0, -10, h, 5, -h, 5}},
        {"Tri turned 90", [] { Core.SetRot(90); Core.Tri(400, 300, 10, 10); }, CmdTri, {10, 0, -5, h, -5, -h}},
        {"Tri_Fix moves away from the apex", [] { Core.Tri_Fix(400, 300, 10, 10, 1); }, CmdTri,
         {0, -5, h, 10, -h, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.call();
        ASSERT_EQ(ASys.DrawTo, 1);
        const double* rec = Record(0);
        EXPECT_EQ(rec[FieldCode], c.code);
        for (size_t i = 0; i < c.fields.size(); i++) EXPECT_NEAR(rec[1 + i], c.fields[i], 1e-3) << "field " << 1 + i;
    }
}

TEST_F(Draw, RecordsKeepTheStateOfTheirCall) {
    Core.SetGradient(255, 0, 0, 1, 0, 0, 255, 0.5f);
    Core.SetRot(30);
    Core.Rect(400, 300, 10);
    const double* rec = Record(0);
    for (int i = 0; i < DrawStateFloats; i++) EXPECT_EQ(rec[FieldColourA + i], ASys.DrawSet[i]) << i;
    EXPECT_EQ(rec[FieldRotation], 30);
    Core.SetCol(1, 2, 3);
    Core.SetRot(0);
    EXPECT_EQ(rec[FieldColourB + 1], 255);   // top edge red, as drawn
    EXPECT_EQ(rec[FieldColourA + 3], 255);   // bottom edge blue
    EXPECT_EQ(rec[FieldRotation], 30);
}

TEST_F(Draw, CLSGradientCoversTheVisibleScreenWithMargin) {
    Core.jscrWide = 800;
    Core.jscrHigh = 451;
    rh2 = 225;
    Core.CLSGradient(0, 0, 0, 1, 0, 0, 90, 1);
    ASSERT_EQ(ASys.DrawTo, 1);
    const double* rec = Record(0);
    EXPECT_EQ(rec[FieldCode], CmdRect);
    EXPECT_EQ(rec[FieldX], 0);
    EXPECT_EQ(rec[FieldY], 0);   // integer half of 451 is 225
    EXPECT_EQ(rec[FieldW], 1056);
    EXPECT_EQ(rec[FieldH], -707);
    EXPECT_EQ(rec[FieldColourA + 3], 90);
}

TEST_F(Draw, SetBlendAppendsOnlyOnChange) {
    ASys.Draw[FieldColourA] = -7;   // the blend record copies no state
    Core.SetBlend(BlendAlpha);
    EXPECT_EQ(ASys.DrawTo, 0);
    Core.SetBlend(BlendAdd);
    Core.SetBlend(BlendAdd);
    ASSERT_EQ(ASys.DrawTo, 1);
    EXPECT_EQ(Record(0)[FieldCode], CmdBlend);
    EXPECT_EQ(Record(0)[1], BlendAdd);
    EXPECT_EQ(Record(0)[FieldColourA], -7);
    EXPECT_EQ(ASys.CurBlend, BlendAdd);
    Core.SetBlend(BlendInverseAdd);
    EXPECT_EQ(ASys.DrawTo, 2);
}

TEST_F(Draw, AFullListDropsRecordsAndLogsOncePerUpdate) {
    constexpr double Sentinel = -12345;
    // The one record slot past the capacity would end beyond the array; nothing is written there.
    for (int i = DrawListRecords * DrawFields; i < DrawListDoubles; i++) ASys.Draw[i] = Sentinel;
    ASys.DrawTo = DrawListRecords - 1;
    testing::internal::CaptureStdout();
    Core.Rect(400, 300, 10);
    EXPECT_EQ(ASys.DrawTo, DrawListRecords);
    Core.Rect(400, 300, 10);
    Core.Line(0, 0, 10, 10);
    Core.SetBlend(BlendAdd);
    EXPECT_EQ(NewRecord(CmdImage), nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ASys.DrawTo, DrawListRecords);
    EXPECT_EQ(ASys.CurBlend, BlendAlpha);
    for (int i = DrawListRecords * DrawFields; i < DrawListDoubles; i++) ASSERT_EQ(ASys.Draw[i], Sentinel) << i;
    size_t first = out.find("> Draw List Full\n");
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find("Draw List Full", first + sizeof "> Draw List Full"), std::string::npos) << out;

    // A new update may log again.
    DrawListFullLogged = 0;
    testing::internal::CaptureStdout();
    Core.Rect(400, 300, 10);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Draw List Full"), std::string::npos);
}

TEST_F(Draw, NewRecordIsTheSharedEnqueuer) {
    Core.SetCol(9, 8, 7);
    double* rec = NewRecord(CmdImage);
    ASSERT_EQ(rec, ASys.Draw);
    EXPECT_EQ(ASys.DrawTo, 1);
    EXPECT_EQ(rec[FieldCode], CmdImage);
    EXPECT_EQ(rec[FieldColourA + 1], 9);
    EXPECT_EQ(NewRecord(CmdRect), ASys.Draw + DrawFields);
}
