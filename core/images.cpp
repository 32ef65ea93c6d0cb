// The core's picture API: loading images and fonts from the data folder, image draw records
// (plain, blurred, four-cornered, the grabbed frame), bitmap-font text with its advance table
// fontw, and the forwarders to the backend's offscreen buffers, grabs and screenshots.
#include "VornCore.h"

#include <array>
#include <string_view>

// ---- the font advance table ----------------------------------------------------------------

namespace {

struct AdvanceGroup {
    int advance;                 // fontw entry: advance in font pixels plus 1
    std::string_view chars;
};

// Every printable character not listed here has the default advance.
constexpr int DefaultAdvance = 15;
constexpr int LastPrintable = 126;
constexpr AdvanceGroup AdvanceGroups[] = {
    {5, "!',.:;il`|"}, {10, "()[]j"}, {11, "{"}, {12, "\"^}"}, {16, "0123456789V_"},
    {19, "#"}, {22, "%MWw"}, {25, "m~@"},
};

constexpr std::array<int, FontwEntries> BuildFontw() {
    std::array<int, FontwEntries> w{};
    for (int c = FontFirstChar; c <= LastPrintable; ++c) w[c - FontFirstChar] = DefaultAdvance;
    for (const AdvanceGroup& g : AdvanceGroups)
        for (char c : g.chars) w[c - FontFirstChar] = g.advance;
    return w;
}

}  // namespace

const std::array<int, FontwEntries> fontw = BuildFontw();

// ---- loading -------------------------------------------------------------------------------

namespace {

// The data-folder path of an image name: backslashes become "/", and ".png" is added unless
// the name already ends in ".png", ".Png" or ".PNG".
bool HasPngExtension(const std::string& name) {
    static constexpr std::string_view Extensions[] = {".png", ".Png", ".PNG"};
    if (name.size() < 4) return false;
    std::string_view tail(name.data() + name.size() - 4, 4);
    for (std::string_view e : Extensions)
        if (tail == e) return true;
    return false;
}

// Logs the load with its label and hands the data-folder path of the name to the backend.
void LoadIntoSlot(VornCore& core, int slot, std::string name, unsigned int size, const char* logFormat) {
    for (char& c : name)
        if (c == '\\') c = '/';
    core.Debuglog(core.fstr(logFormat, name.c_str()));
    const char* path = HasPngExtension(name) ? core.fstr("%s/Data/%i/%s", core.home, core.GameNum, name.c_str())
                                             : core.fstr("%s/Data/%i/%s.png", core.home, core.GameNum, name.c_str());
    ASys.GetPNG(slot, path, size);
}

}  // namespace

void VornCore::LoadImg(int slot, std::string name, int size) {
    LoadIntoSlot(*this, slot, name, static_cast<unsigned int>(size), "Load Image : %s ");
}

void VornCore::LoadFont(int slot, std::string name) {
    LoadIntoSlot(*this, slot, name, FontCell, "Load Font  : %s ");
    ASys.FontImage = slot;
}

// ---- image records -------------------------------------------------------------------------

namespace {

// The record for an image of a slot, or nullptr when the slot holds nothing ("Missing Image"
// is logged) or the draw list is full. Slots outside the table are refused like empty ones,
// so nothing reads past the slot arrays.
double* SlotRecord(VornCore& core, int code, int slot, int frame) {
    if (slot < 0 || slot >= ImageSlots || ASys.iFrames[slot] == -1) {
        core.Debuglog(core.fstr("Missing Image %i", slot));
        return nullptr;
    }
    double* r = NewRecord(code);
    if (!r) return nullptr;
    r[FieldSlot] = slot;
    r[FieldFrame] = frame;
    return r;
}

// A frame centred at (x, y), at the draw state's scale enlarged by ImageZoom.
void CentredImage(VornCore& core, int code, int slot, float x, float y, int frame) {
    double* r = SlotRecord(core, code, slot, frame);
    if (!r) return;
    r[FieldX] = x - rw2;
    r[FieldY] = y - rh2;
    r[FieldW] = ASys.DrawSet[DsScaleX] * ASys.ImageZoom;
    r[FieldH] = ASys.DrawSet[DsScaleY] * ASys.ImageZoom;
}

}  // namespace

void VornCore::DrawImg(int slot, float x, float y) { DrawImg(slot, x, y, 0); }
void VornCore::DrawImg(int slot, float x, float y, int frame) { CentredImage(*this, CmdImage, slot, x, y, frame); }
void VornCore::DrawBlur(int slot, float x, float y) { DrawBlur(slot, x, y, 0); }
void VornCore::DrawBlur(int slot, float x, float y, int frame) {
    CentredImage(*this, CmdImageBlur, slot, x, y, frame);
}

void VornCore::QuadImg(int slot, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                       int frame) {
    double* r = SlotRecord(*this, CmdQuadImage, slot, frame);
    if (!r) return;
    const float corners[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    for (int i = 0; i < 8; i += 2) {
        r[FieldX + i] = corners[i] - rw2;
        r[FieldY + i] = corners[i + 1] - rh2;
    }
}

// The grabbed previous frame, centred on the screen at the draw state's scale (no ImageZoom:
// the grab is sized from the window's pixels).
void VornCore::DrawBuffer() {
    if (ASys.iFrames[ImgGrab] < 1) {
        Debuglog("Previous Buffer Missing");
        return;
    }
    double* r = NewRecord(CmdImage);
    if (!r) return;
    r[FieldX] = 0;
    r[FieldY] = 0;
    r[FieldW] = ASys.DrawSet[DsScaleX];
    r[FieldH] = ASys.DrawSet[DsScaleY];
    r[FieldSlot] = ImgGrab;
    r[FieldFrame] = 0;
}

// ---- text ----------------------------------------------------------------------------------

namespace {

// Entry of a character in fontw, or -1 for the codes that have none and do not advance:
// control bytes and, taken as signed chars, bytes 128..255.
int FontIndex(char c) {
    int n = static_cast<signed char>(c) - FontFirstChar;
    return n >= 0 && n <= FontLastChar - FontFirstChar ? n : -1;
}

// Text scale: the size last given to SetSize.
float TextScale() { return ASys.DrawSet[DsScaleX] * ViewScale; }

}  // namespace

float VornCore::StringWidth(std::string s) {
    float k = TextScale();
    float w = 0;
    for (char c : s) {
        if (c == '\0') break;
        int n = FontIndex(c);
        if (n >= 0) w += (fontw[n] - 1) * k;
    }
    return w;
}

float VornCore::StringWidth(char c) {
    int n = FontIndex(c);
    return n >= 0 ? (fontw[n] - 1) * TextScale() : 0;
}

float VornCore::CharWidth(char c) { return StringWidth(c); }

void VornCore::Text(float x, float y, std::string s) { Text(x, y, s, 0, 1); }
void VornCore::Text(float x, float y, std::string s, float align) { Text(x, y, s, align, 1); }

void VornCore::Text(float x, float y, std::string s, float align, float) {
    const float k = TextScale();
    const float r = ASys.DrawSet[DsRotation];
    // Back along the line by half the width times the alignment, then forward by half a blank.
    const float shift = StringWidth(s) / 2 * align;
    float px = x + Sin(r - 90) * shift, py = y - Cos(r - 90) * shift;
    const float ax = Sin(r + 90), ay = -Cos(r + 90);   // one unit along the line
    const float lead = (fontw[0] - 1) * k;
    px += ax * lead;
    py += ay * lead;
    for (char c : s) {
        if (c == '\0') break;
        DrawImg(ASys.FontImage, px, py, static_cast<signed char>(c) - FontFirstChar);
        int n = FontIndex(c);
        if (n >= 0) {
            float step = (fontw[n] - 1) * k;
            px += ax * step;
            py += ay * step;
        }
    }
}

void VornCore::Text(float x, float y, char c) { Text(x, y, c, 1, 1); }
void VornCore::Text(float x, float y, char c, float align) { Text(x, y, c, align, 1); }

void VornCore::Text(float x, float y, char c, float align, float) {
    const float k = TextScale();
    const float r = ASys.DrawSet[DsRotation];
    const int f = static_cast<signed char>(c) - FontFirstChar;
    // The alignment shift of one character is in font pixels, not scaled.
    const float m = (f >= 0 && f < FontwEntries) ? fontw[f] - 0.5f : 0.0f;
    float px = x + Sin(r - 90) * m * align, py = y - Cos(r - 90) * m * align;
    const float lead = (fontw[0] - 1) * k * 0.5f;
    px += Sin(r + 90) * lead;
    py -= Cos(r + 90) * lead;
    DrawImg(ASys.FontImage, px, py, f);
}

// ---- buffers, screen grabs and screenshots ---------------------------------------------------

void VornCore::CreateBuffer(int slot, int side) { ASys.Buffer_Create(slot, side); }
void VornCore::BufferCLS(int slot) { ASys.Buffer_Fill(slot, 0, 0, 0, 0); }
void VornCore::BufferFill(int slot, int red, int green, int blue, int alpha) {
    ASys.Buffer_Fill(slot, red, green, blue, alpha);
}
void VornCore::BufferLine(int slot, float x1, float y1, float x2, float y2) {
    const float* a = ASys.DrawSet;
    ASys.Buffer_Line(slot, x1, y1, x2, y2, a[DsRedA], a[DsGreenA], a[DsBlueA], a[DsAlphaA]);
}
void VornCore::BufferPlot(int slot, float x, float y) {
    const float* a = ASys.DrawSet;
    ASys.Buffer_Plot(slot, x, y, a[DsRedA], a[DsGreenA], a[DsBlueA], a[DsAlphaA]);
}
void VornCore::BufferTile(int destination, int source, float x, float y, int frame) {
    ASys.Buffer_Tile(destination, source, x, y, frame);
}
void VornCore::TakeScreenshot() { ASys.Screenshot(); }
void VornCore::CopyBuffer() { ASys.GrabBuffer(); }
