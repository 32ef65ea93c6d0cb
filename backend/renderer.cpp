// The renderer: hands the update's draw list over to the render copy and draws that copy as
// one OpenGL frame (fading clear colour, virtual-screen projection with overscan, batched
// immediate-mode triangles per texture, blend records, swap, screenshot and event poll). Each
// picture is one texture object, sent to OpenGL again only after its slot's pixels changed.
#include "Vorn_glfw3.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

double DrawR[DrawCopyRecords * DrawFields];
int DrawToRT = 0;
int TexUse = TexNone;
int TriCount = 0;
int RenderMode = GL_NEAREST;
int Wireframe = 0;
float OverscanScaleX = 1, OverscanScaleY = 1;

namespace {

constexpr int FieldMode = 1;                 // blend mode of a CmdBlend record
constexpr int FieldCorner = 1;               // corners 1..4 of quads at fields 1..8
constexpr int TextureComponents = 4;
constexpr float ChannelMax = 255;
constexpr float MinFadeDivisor = 1;          // below this a fade would overshoot or divide by 0
constexpr float FadeSnap = 2;                // closer than this to the target: jump to it
constexpr int ClearChannels = 3;

// Truncates toward zero; NaN and values beyond int give 0 instead of undefined behaviour.
int Trunc(double v) { return (v > INT_MIN && v < INT_MAX) ? static_cast<int>(v) : 0; }

// One colour channel: truncated toward zero, low 8 bits.
GLubyte Channel(double v) { return static_cast<GLubyte>(Trunc(v) & 0xFF); }

struct Corner {
    float x, y;
    double s, t;
};

// A record's colour (alpha, red, green, blue at c) as the bytes glColor4ub takes, converted
// once per record.
struct Rgba {
    GLubyte r, g, b, a;
};

Rgba Bytes(const double* c) { return {Channel(c[1]), Channel(c[2]), Channel(c[3]), Channel(c[0])}; }

// One vertex: texture coordinate, colour, position.
void Vertex(const Corner& p, const Rgba& c) {
    glTexCoord2d(p.s, p.t);
    glColor4ub(c.r, c.g, c.b, c.a);
    glVertex2f(p.x, p.y);
}

// A four-cornered shape as two triangles P1 P2 P3, P1 P3 P4; P1 and P2 in colour A, P3 and
// P4 in colour B.
void FourCorners(const double* rec, const Corner (&p)[4]) {
    const Rgba a = Bytes(rec + FieldColourA), b = Bytes(rec + FieldColourB);
    Vertex(p[0], a);
    Vertex(p[1], a);
    Vertex(p[2], b);
    Vertex(p[0], a);
    Vertex(p[2], b);
    Vertex(p[3], b);
}

// A rectangle of half extents hw, hh about the record's centre, turned by its rotation field
// when that is not exactly 0. tex holds the texture coordinates of P1..P4.
void CentredQuad(const double* rec, float hw, float hh, const double (&tex)[4][2]) {
    const float x = static_cast<float>(rec[FieldX]), y = static_cast<float>(rec[FieldY]);
    const float off[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    const double degrees = rec[FieldRotation];
    float cr = 1, sr = 0;
    if (degrees != 0) {
        const float r = static_cast<float>(degrees * RenderDegToRad);
        cr = std::cos(r);
        sr = std::sin(r);
    }
    Corner p[4];
    for (int i = 0; i < 4; ++i) {
        float dx = off[i][0], dy = off[i][1];
        if (degrees != 0) {
            const float rx = dx * cr - dy * sr;
            dy = dy * cr + dx * sr;
            dx = rx;
        }
        p[i] = {x + dx, y + dy, tex[i][0], tex[i][1]};
    }
    FourCorners(rec, p);
}

// The four corners of a quad, line or textured quad (fields 1..8).
void CornerQuad(const double* rec, const double (&tex)[4][2]) {
    Corner p[4];
    for (int i = 0; i < 4; ++i)
        p[i] = {static_cast<float>(rec[FieldCorner + 2 * i]), static_cast<float>(rec[FieldCorner + 2 * i + 1]),
                tex[i][0], tex[i][1]};
    FourCorners(rec, p);
}

constexpr double UnitTex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// Sine and cosine of the rim angles 0, 10, ..., 360 degrees, each worked out as a rim point
// of an unturned wedge is (the angle as a double times the renderer's factor, as a float), so
// the table gives the very floats that calling sin and cos for every rim point gives. The
// step is read at run time, so the compiler cannot work the values out in another precision.
struct UnitCircle {
    float sin[WedgeCount + 1], cos[WedgeCount + 1];
};

UnitCircle MakeUnitCircle() {
    UnitCircle c{};
    volatile double step = WedgeDegrees;
    for (int k = 0; k <= WedgeCount; ++k) {
        const float r = static_cast<float>(step * k * RenderDegToRad);
        c.sin[k] = std::sin(r);
        c.cos[k] = std::cos(r);
    }
    return c;
}

const UnitCircle RimTable = MakeUnitCircle();

// 36 wedges around the centre. An oval: centre in colour A, rim in colour B, angles from 0.
// A fan: each wedge in one colour (B for even, A for odd wedges), angles turned back by the
// rotation field. Unturned wedges take their rim from the table; a turned fan works out
// every rim point itself.
void Wedges(const double* rec, bool fan) {
    const float x = static_cast<float>(rec[FieldX]), y = static_cast<float>(rec[FieldY]);
    const float hw = static_cast<float>(rec[FieldW] * 0.5), hh = static_cast<float>(rec[FieldH] * 0.5);
    const double turn = fan ? rec[FieldRotation] : 0;
    const Rgba a = Bytes(rec + FieldColourA), b = Bytes(rec + FieldColourB);
    auto rim = [&](int k, double degrees, double s, double t) {
        if (turn == 0) return Corner{x + RimTable.sin[k] * hw, y - RimTable.cos[k] * hh, s, t};
        const float r = static_cast<float>(degrees * RenderDegToRad);
        return Corner{x + std::sin(r) * hw, y - std::cos(r) * hh, s, t};
    };
    for (int i = 0; i < WedgeCount; ++i) {
        const double from = WedgeDegrees * i - turn;
        const Rgba& centreColour = fan ? (i % 2 == 0 ? b : a) : a;
        const Rgba& rimColour = fan ? centreColour : b;
        Vertex({x, y, 0, 0}, centreColour);
        Vertex(rim(i, from, 1, 0), rimColour);
        Vertex(rim(i + 1, from + WedgeDegrees, 1, 1), rimColour);
    }
}

// A texture object of the current context and what was last uploaded into it: the change
// count and side of its pixels. Name 0: not made yet.
struct Texture {
    GLuint name = 0;
    unsigned long long changes = 0;
    int side = 0;
};

// Entry 0 the white block, then every slot's pixels, then every slot's blurred pixels.
constexpr int TextureCount = 1 + 2 * ImageSlots;
Texture Textures[TextureCount];

Texture& TextureOf(int key) {
    if (key == TexFlat) return Textures[0];
    if (key >= TexBlurOffset) return Textures[1 + ImageSlots + key - TexBlurOffset];
    return Textures[1 + key];
}

// Starts a new batch when the texture key changes or the open batch is full: ends the open
// one, binds the key's texture (made on first use, its pixels uploaded when they changed since
// the last upload) and sets its filters.
void Batch(int key, int side, const unsigned char* pixels, unsigned long long changes) {
    if (TexUse == key && TriCount <= BatchShapeLimit) return;
    if (TexUse != TexNone) glEnd();
    TexUse = key;
    Texture& t = TextureOf(key);
    bool upload = true;
    if (t.name == 0) glGenTextures(1, &t.name);
    else upload = t.changes != changes || t.side != side;
    t.changes = changes;
    t.side = side;
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(RenderMode));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(RenderMode));
    if (upload)
        glTexImage2D(GL_TEXTURE_2D, 0, TextureComponents, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBegin(GL_TRIANGLES);
    TriCount = 0;
}

// The white block never changes after start-up.
void FlatBatch() { Batch(TexFlat, WhiteBlockSide, WhiteBlock.data(), 0); }

void Count(int shapes, int triangles) {
    TriCount += shapes;
    ASys.PolyCount += triangles;
    ASys.ObjCount++;
}

// The frame cell of an image record, ready to draw: the slot and its pixels, the texture
// coordinates of the cell. Records whose slot cannot be drawn are refused.
struct Cell {
    int slot;
    const std::vector<unsigned char>* pixels;
    double s0, t0, s1, t1;
};

bool ImageCell(double* rec, bool allowGrab, bool blur, Cell& cell) {
    const double field = rec[FieldSlot];
    const int s = (field > -1 && field < ImageSlots) ? static_cast<int>(field) : -1;
    const bool drawable = (s >= 0 && s < ImageSlotsDrawn) || (allowGrab && s == ImgGrab);
    if (!drawable || ASys.iFrames[s] < 0) return false;
    // A slot without a texture (no cells per row, no side, too few pixels) draws nothing.
    const std::vector<unsigned char>& pixels = blur ? ImageBlur[s] : Image[s];
    const size_t bytes = static_cast<size_t>(iSize[s]) * iSize[s] * 4;
    if (iFramesW[s] <= 0 || iSize[s] <= 0 || pixels.size() < bytes) return false;
    double& frame = rec[FieldFrame];
    if (!(frame >= 0 && frame <= ASys.iFrames[s] - 1)) frame = 0;
    const int f = static_cast<int>(frame);
    const double z = iFramesWz[s];
    cell.slot = s;
    cell.pixels = &pixels;
    cell.s0 = z * (f % iFramesW[s]);
    cell.t0 = z * (f / iFramesW[s]);
    cell.s1 = cell.s0 + z;
    cell.t1 = cell.t0 + z;
    return true;
}

// Images and blurred images: the cell on a rectangle scaled by the slot's draw scale, the
// lower rows of the cell on the lower edge on screen so the picture stands upright.
void CentredImage(int first, bool blur) {
    double* rec = DrawR + first;
    Cell c;
    if (!ImageCell(rec, true, blur, c)) return;
    Batch(blur ? c.slot + TexBlurOffset : c.slot, iSize[c.slot], c.pixels->data(), ImageChanges[c.slot]);
    const float scale = ASys.iSizeScaled[c.slot];
    const float hw = static_cast<float>(rec[FieldW] * scale), hh = static_cast<float>(rec[FieldH] * scale);
    const double tex[4][2] = {{c.s0, c.t1}, {c.s1, c.t1}, {c.s1, c.t0}, {c.s0, c.t0}};
    CentredQuad(rec, hw, hh, tex);
    Count(1, 2);
}

void SetBlend(double mode) {
    if (mode == BlendAlpha) glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    else if (mode == BlendAdd) glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    else if (mode == BlendInverseAdd) glBlendFunc(GL_ONE_MINUS_SRC_COLOR, GL_ONE);
}

// Moves each channel of the clear colour toward its target by 1/divisor of the distance,
// snapping to the target once it is closer than 2.
void FadeClearColour(float* set) {
    float divisor = set[DsClearDivisor];
    if (!(divisor >= MinFadeDivisor)) divisor = MinFadeDivisor;
    for (int c = 0; c < ClearChannels; ++c) {
        float& now = set[DsClearNow + c];
        const float target = set[DsClearTarget + c];
        now = now - (now - target) / divisor;
        if (!(std::fabs(now - target) >= FadeSnap)) now = target;
    }
}

}  // namespace

void ForgetTextures() {
    for (Texture& t : Textures) t = Texture{};
}

void DeleteTextures() {
    for (Texture& t : Textures)
        if (t.name != 0) glDeleteTextures(1, &t.name);
    ForgetTextures();
}

void VornSys::RenderBuffer() {
    DrawToRT = std::clamp(DrawTo, 0, DrawListRecords);
    std::memcpy(DrawR, Draw, static_cast<size_t>(DrawToRT) * DrawFields * sizeof(double));
}

void VornSys::RenderRect(int first) {
    const double* rec = DrawR + first;
    FlatBatch();
    CentredQuad(rec, static_cast<float>(rec[FieldW] * 0.5), static_cast<float>(rec[FieldH] * 0.5), UnitTex);
    Count(1, 2);
}

void VornSys::RenderQuad(int first) {
    FlatBatch();
    CornerQuad(DrawR + first, UnitTex);
    Count(1, 2);
}

void VornSys::RenderLine(int first) { RenderQuad(first); }

void VornSys::RenderOval(int first) {
    FlatBatch();
    Wedges(DrawR + first, false);
    Count(WedgeCount, WedgeCount);
}

void VornSys::RenderFan(int first) {
    FlatBatch();
    Wedges(DrawR + first, true);
    Count(WedgeCount, WedgeCount);
}

void VornSys::RenderTri(int first) {
    const double* rec = DrawR + first;
    FlatBatch();
    const Rgba a = Bytes(rec + FieldColourA), b = Bytes(rec + FieldColourB);
    auto corner = [&](int i, double s, double t) {
        return Corner{static_cast<float>(rec[FieldCorner + 2 * i]), static_cast<float>(rec[FieldCorner + 2 * i + 1]),
                      s, t};
    };
    Vertex(corner(0, 0, 0), b);
    Vertex(corner(1, 1, 0), a);
    Vertex(corner(2, 1, 1), a);
    Count(1, 1);
}

void VornSys::RenderImage(int first) { CentredImage(first, false); }

void VornSys::RenderImageBlur(int first) { CentredImage(first, true); }

void VornSys::RenderQuadImage(int first) {
    double* rec = DrawR + first;
    Cell c;
    if (!ImageCell(rec, false, false, c)) return;
    Batch(c.slot, iSize[c.slot], c.pixels->data(), ImageChanges[c.slot]);
    const double tex[4][2] = {{c.s0, c.t0}, {c.s1, c.t0}, {c.s1, c.t1}, {c.s0, c.t1}};
    CornerQuad(rec, tex);
    Count(1, 2);
}

void VornSys::RenderSys(float overscan) {
    RenderMode = DrawSet[DsSmooth] == 1.0f ? GL_LINEAR : GL_NEAREST;
    if (!window) return;  // no window (creation failed): nothing to draw on
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width <= 0 || height <= 0) {
        // Minimised: no size to draw at. Keep the last size and aspect, only pump events.
        glfwPollEvents();
        return;
    }
    CanvasWidth = width;
    CanvasHeight = height;
    Aspect = static_cast<float>(width) / static_cast<float>(height);

    glViewport(0, 0, width, height);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (Wireframe == 1) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

    FadeClearColour(DrawSet);
    glClearColor(DrawSet[DsClearNow] / ChannelMax, DrawSet[DsClearNow + 1] / ChannelMax,
                 DrawSet[DsClearNow + 2] / ChannelMax, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    if (Wireframe == 0) glEnable(GL_TEXTURE_2D);
    if (Wireframe == 1) glDisable(GL_TEXTURE_2D);

    const float o = overscan, w = VirtualWidth;
    glPushMatrix();
    glScalef((2 - o) / w, -(2 - Aspect * o) * Aspect / w, 1);
    OverscanScaleX = 1 / (1 - o / 2);
    OverscanScaleY = 1 / (1 - (o / 2) * Aspect);

    TexUse = TexNone;
    TriCount = 0;
    PolyCount = 0;
    ObjCount = 0;
    const int records = std::clamp(DrawToRT, 0, DrawCopyRecords);
    for (int i = 0; i < records; ++i) {
        const int first = i * DrawFields;
        switch (Trunc(DrawR[first + FieldCode])) {
            case CmdRect: RenderRect(first); break;
            case CmdQuad: RenderQuad(first); break;
            case CmdOval: RenderOval(first); break;
            case CmdLine: RenderLine(first); break;
            case CmdFan: RenderFan(first); break;
            case CmdTri: RenderTri(first); break;
            case CmdImage: RenderImage(first); break;
            case CmdQuadImage: RenderQuadImage(first); break;
            case CmdImageBlur: RenderImageBlur(first); break;
            case CmdBlend:
                if (TexUse != TexNone) glEnd();
                TexUse = TexNone;
                SetBlend(DrawR[first + FieldMode]);
                break;
            default: break;  // unknown codes draw nothing and leave the batch open
        }
    }
    if (TexUse != TexNone) glEnd();
    TexUse = TexNone;
    glPopMatrix();

    glfwSwapInterval(1);
    glfwSwapBuffers(window);
    if (Button[FlagF10] != 0) Screenshot();
    glfwPollEvents();
}
