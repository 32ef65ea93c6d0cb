// The drawing state (colours, size, rotation, line thickness, smoothing, font, blend mode,
// clear colour) and the flat shapes, each appended as one record to the backend's draw list.
// Also the one place where every enqueuer takes its record, with the list's capacity guard.
#include "VornCore.h"

#include <cmath>

int DrawListFullLogged = 0;

namespace {
constexpr float ChannelMax = 255;
constexpr float MinLineThickness = 0.05f;
constexpr double RadiansToDegrees = 0.017453;   // atan2 result / this = degrees
constexpr float DegreesPerCorner = 120;          // corner spacing of Tri
constexpr int CLSGradientMargin = 256;           // CLSGradient overlaps the screen by 128 a side
constexpr int PaletteSize = 10;

struct Rgb { float r, g, b; };
constexpr Rgb InkPalette[PaletteSize] = {
    {0, 0, 0},     {255, 0, 0},   {255, 128, 0}, {255, 255, 0}, {0, 255, 0},
    {0, 255, 255}, {0, 0, 255},   {180, 0, 255}, {255, 0, 180}, {255, 255, 255},
};

// Below 0 becomes 0, above 255 becomes 255, tested in that order.
float Clamp255(float v) {
    if (v < 0) v = 0;
    if (v > ChannelMax) v = ChannelMax;
    return v;
}

float* State() { return ASys.DrawSet; }

// The current size as a multiplier of widths and heights (SizeY is negative when upright).
float SizeX() { return State()[DsScaleX] * ViewScale; }
float SizeY() { return State()[DsScaleY] * ViewScale; }

void SetColourA(float a, float r, float g, float b) {
    float* s = State();
    s[DsAlphaA] = a; s[DsRedA] = r; s[DsGreenA] = g; s[DsBlueA] = b;
}
void SetColourB(float a, float r, float g, float b) {
    float* s = State();
    s[DsAlphaB] = a; s[DsRedB] = r; s[DsGreenB] = g; s[DsBlueB] = b;
}

void SetClear(float r, float g, float b, bool now) {
    float* s = State();
    float rgb[3] = {r, g, b};
    for (int k = 0; k < 3; k++) {
        if (now) s[DsClearNow + k] = rgb[k];
        s[DsClearTarget + k] = rgb[k];
    }
}

// A record with its centre (or first corner) relative to the screen centre.
void PutPoint(double* rec, int field, float x, float y) {
    rec[field] = x - rw2;
    rec[field + 1] = y - rh2;
}
}  // namespace

void Getdef(int first) {
    for (int i = 0; i < DrawStateFloats; i++) ASys.Draw[first + FieldColourA + i] = ASys.DrawSet[i];
}

double* NextRecord() {
    if (ASys.DrawTo < 0 || ASys.DrawTo >= DrawListRecords) {
        if (!DrawListFullLogged) {
            DrawListFullLogged = 1;
            ASys.Debuglog("Draw List Full");
        }
        return nullptr;
    }
    double* rec = ASys.Draw + ASys.DrawTo * DrawFields;
    ASys.DrawTo += 1;
    return rec;
}

double* NewRecord(int code) {
    double* rec = NextRecord();
    if (!rec) return nullptr;
    rec[FieldCode] = code;
    Getdef(static_cast<int>(rec - ASys.Draw));
    return rec;
}

// ---- state ----

void VornCore::ResetDraw() {
    float* s = State();
    s[DsScaleX] = 1 / ViewScale;
    s[DsScaleY] = -(1 / ViewScale);
    SetColourA(ChannelMax, ChannelMax, ChannelMax, ChannelMax);
    SetColourB(ChannelMax, ChannelMax, ChannelMax, ChannelMax);
    s[DsRotation] = 0;
    s[DsHalfThick] = 0.5f;
}

void VornCore::SetSize(float s) { SetSize(s, s); }

void VornCore::SetSize(float sx, float sy) {
    State()[DsScaleX] = sx / ViewScale;
    State()[DsScaleY] = -(sy / ViewScale);
}

void VornCore::SetRot(float degrees) { State()[DsRotation] = degrees; }

void VornCore::SetLineThickness(float t) {
    if (t < MinLineThickness) t = MinLineThickness;
    State()[DsHalfThick] = t * 0.5f;
}
void VornCore::Width(float t) { SetLineThickness(t); }
void VornCore::Thick(float t) { SetLineThickness(t); }
void VornCore::SetLineWidth(float t) { SetLineThickness(t); }
void VornCore::SetLineThick(float t) { SetLineThickness(t); }

void VornCore::Smooth(int on) { State()[DsSmooth] = static_cast<float>(on); }
void VornCore::SetSmooth(int on) { Smooth(on); }

void VornCore::SetFont(int slot) { ASys.FontImage = slot; }

void VornCore::SetCol(float r, float g, float b) {
    float* s = State();
    r = Clamp255(r); g = Clamp255(g); b = Clamp255(b);
    SetColourA(s[DsAlphaA], r, g, b);
    SetColourB(s[DsAlphaB], r, g, b);
}

void VornCore::SetCol(float r, float g, float b, float a) {
    r = Clamp255(r); g = Clamp255(g); b = Clamp255(b);
    a = Clamp255(a * ChannelMax);
    SetColourA(a, r, g, b);
    SetColourB(a, r, g, b);
}

void VornCore::SetGradient(float r1, float g1, float b1, float a1, float r2, float g2, float b2, float a2) {
    SetColourB(Clamp255(a1 * ChannelMax), Clamp255(r1), Clamp255(g1), Clamp255(b1));
    SetColourA(Clamp255(a2 * ChannelMax), Clamp255(r2), Clamp255(g2), Clamp255(b2));
}

void VornCore::SetAlpha(float a) {
    a = Clamp255(a * ChannelMax);
    State()[DsAlphaA] = a;
    State()[DsAlphaB] = a;
}
void VornCore::Alpha(float a) { SetAlpha(a); }

void VornCore::Ink(int n) {
    // A negative n takes its non-negative remainder, so Ink(-1) is Ink(9).
    int i = ((n % PaletteSize) + PaletteSize) % PaletteSize;
    SetCol(InkPalette[i].r, InkPalette[i].g, InkPalette[i].b, 1);
}

void VornCore::InkRot(float h) { HSV2RGB(h, 1, 1); }
void VornCore::InkRot(float h, float s) { HSV2RGB(h, s, 1); }
void VornCore::InkRot(float h, float s, float v) { HSV2RGB(h, s, v); }

void VornCore::HSV2RGB(double h, double s, double v) {
    h = std::fmod(h, 360.0);
    if (h >= 360) h = 0;
    if (s <= 0) {
        float grey = static_cast<float>(v * ChannelMax);
        SetCol(grey, grey, grey, 1);
        return;
    }
    double g = h / 60;
    int i = static_cast<int>(g);
    double f = g - i;
    double p = v * (1 - s), q = v * (1 - s * f), u = v * (1 - s * (1 - f));
    double r, gr, b;
    switch (i) {
        case 0: r = v; gr = u; b = p; break;
        case 1: r = q; gr = v; b = p; break;
        case 2: r = p; gr = v; b = u; break;
        case 3: r = p; gr = q; b = v; break;
        case 4: r = u; gr = p; b = v; break;
        default: r = v; gr = p; b = q; break;
    }
    SetCol(static_cast<float>(r * ChannelMax), static_cast<float>(gr * ChannelMax),
           static_cast<float>(b * ChannelMax), 1);
}

void VornCore::SetBlend(int mode) {
    if (mode == ASys.CurBlend) return;
    double* rec = NextRecord();
    if (!rec) return;
    rec[FieldCode] = CmdBlend;
    rec[1] = mode;
    ASys.CurBlend = mode;
}

void VornCore::CLS(float r, float g, float b) {
    SetClear(Clamp255(r), Clamp255(g), Clamp255(b), true);
    State()[DsClearDivisor] = 1;
}
void VornCore::SetCLS(float r, float g, float b) { CLS(r, g, b); }

void VornCore::FadeCLS(float r, float g, float b, float divisor) {
    SetClear(Clamp255(r), Clamp255(g), Clamp255(b), false);
    State()[DsClearDivisor] = divisor;
}

void VornCore::SetCLSRot(float hue, float low, float high) {
    low = Clamp255(low);
    high = Clamp255(high);
    float c[3];
    for (int k = 0; k < 3; k++) c[k] = Clamp255(high + (high - low) * Sin(hue + DegreesPerCorner * k));
    CLS(c[0], c[1], c[2]);
}

void VornCore::CLSGradient(float r1, float g1, float b1, float a1, float r2, float g2, float b2, float a2) {
    SetGradient(r1, g1, b1, a1, r2, g2, b2, a2);
    Rect(jscrWide / 2, jscrHigh / 2, jscrWide + CLSGradientMargin, jscrHigh + CLSGradientMargin);
}

// ---- shapes ----

void VornCore::Rect(float x, float y, float w, float h) {
    double* rec = NewRecord(CmdRect);
    if (!rec) return;
    PutPoint(rec, FieldX, x, y);
    rec[FieldW] = SizeX() * w;
    rec[FieldH] = SizeY() * h;
}
void VornCore::Rect(float x, float y, float s) { Rect(x, y, s, s); }
void VornCore::Plot(float x, float y) { Rect(x, y, 1, 1); }
void VornCore::Rect_UL(float x, float y, float w, float h) { Rect(x + w / 2, y + h / 2, w, h); }
void VornCore::Rect_UL(float x, float y, float s) { Rect(x + s / 2, y + s / 2, s, s); }

void VornCore::Quad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    double* rec = NewRecord(CmdQuad);
    if (!rec) return;
    PutPoint(rec, 1, x1, y1);
    PutPoint(rec, 3, x2, y2);
    PutPoint(rec, 5, x3, y3);
    PutPoint(rec, 7, x4, y4);
}

void VornCore::Line(float x1, float y1, float x2, float y2) {
    float t = State()[DsHalfThick];
    float a = static_cast<float>(std::atan2(x2 - x1, y1 - y2) / RadiansToDegrees);
    float rx = Sin(a + 90) * t, ry = -Cos(a + 90) * t;   // toward a + 90: colour A side
    float lx = Sin(a - 90) * t, ly = -Cos(a - 90) * t;   // toward a - 90: colour B side
    Quad(x1 + rx, y1 + ry, x2 + rx, y2 + ry, x2 + lx, y2 + ly, x1 + lx, y1 + ly);
}

void VornCore::Oval(float x, float y, float w, float h) {
    double* rec = NewRecord(CmdOval);
    if (!rec) return;
    PutPoint(rec, FieldX, x, y);
    rec[FieldW] = SizeX() * w;
    rec[FieldH] = SizeY() * h;
}
void VornCore::Oval(float x, float y, float r) { Oval(x, y, 2 * r, 2 * r); }
void VornCore::Circle(float x, float y, float r) { Oval(x, y, 2 * r, 2 * r); }
void VornCore::Oval_UL(float x, float y, float w, float h) { Oval(x + w / 2, y + h / 2, w, h); }
void VornCore::Oval_UL(float x, float y, float r) { Oval(x + r, y + r, 2 * r, 2 * r); }
void VornCore::Circle_UL(float x, float y, float r) { Oval_UL(x, y, r); }

void VornCore::Fan(float x, float y, float r) {
    double* rec = NewRecord(CmdFan);
    if (!rec) return;
    PutPoint(rec, FieldX, x, y);
    rec[FieldW] = 2 * r * SizeX();
    rec[FieldH] = 2 * r * SizeY();
}

void VornCore::FullTri(float x1, float y1, float x2, float y2, float x3, float y3) {
    double* rec = NewRecord(CmdTri);
    if (!rec) return;
    PutPoint(rec, 1, x1, y1);
    PutPoint(rec, 3, x2, y2);
    PutPoint(rec, 5, x3, y3);
}

void VornCore::Tri(float x, float y, float w, float h) {
    double* rec = NewRecord(CmdTri);
    if (!rec) return;
    float r = State()[DsRotation];
    float cx = x - rw2, cy = y - rh2;
    for (int k = 0; k < 3; k++) {
        rec[1 + 2 * k] = Sin(r + DegreesPerCorner * k) * SizeX() * w + cx;
        rec[2 + 2 * k] = Cos(r + DegreesPerCorner * k) * SizeY() * h + cy;
    }
}

void VornCore::Tri_Fix(float x, float y, float w, float h, float shift) {
    float r = State()[DsRotation];
    float d = (Cos(60) - Cos(0)) * SizeY() * h * shift;
    x = x + Sin(r + 180) * d;
    y = y - Cos(r + 180) * d;
    Tri(x, y, w, h);
}
