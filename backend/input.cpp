// Polled input of the backend: once per update the keys, the mouse, focus and the four pads
// are read from GLFW into Button, Touch and Joy, and the logical inputs into Keyv from the
// binding table redef. Also the binding operations, press capture and input-code names.
#include "Vorn_glfw3.h"

#include <GLFW/glfw3.h>

#include <array>
#include <cmath>
#include <cstdio>

int ignorePress[IgnorePressSize];

namespace {

// A fixed key group: the button code and the GLFW keys that set it (0 ends the list).
struct KeyGroup {
    int code;
    std::array<int, 5> keys;
};

constexpr KeyGroup KeyGroups[] = {
    {PlayUp, {GLFW_KEY_UP, GLFW_KEY_W, GLFW_KEY_KP_8}},
    {PlayLeft, {GLFW_KEY_LEFT, GLFW_KEY_A, GLFW_KEY_KP_4}},
    {PlayRight, {GLFW_KEY_RIGHT, GLFW_KEY_D, GLFW_KEY_KP_6}},
    {PlayDown, {GLFW_KEY_DOWN, GLFW_KEY_S, GLFW_KEY_KP_5, GLFW_KEY_KP_2}},
    {PlayFire1, {GLFW_KEY_Z, GLFW_KEY_J, GLFW_KEY_SPACE, GLFW_KEY_ENTER, GLFW_KEY_KP_7}},
    {PlayFire2, {GLFW_KEY_X, GLFW_KEY_K, GLFW_KEY_LEFT_CONTROL, GLFW_KEY_RIGHT_CONTROL, GLFW_KEY_KP_9}},
    {PlayFire3, {GLFW_KEY_C, GLFW_KEY_L, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_RIGHT_SHIFT}},
    {PlayFire4, {GLFW_KEY_V, GLFW_KEY_I, GLFW_KEY_LEFT_ALT, GLFW_KEY_RIGHT_ALT}},
    {PlayFire5, {GLFW_KEY_B, GLFW_KEY_U}},
    {PlayFire6, {GLFW_KEY_N, GLFW_KEY_O}},
    {FlagF2, {GLFW_KEY_F2}},
    {FlagF10, {GLFW_KEY_F10}},
    {FlagF1, {GLFW_KEY_F1}},
    {PlayEnter, {GLFW_KEY_ENTER}},
    {PlayEscape, {GLFW_KEY_ESCAPE}},
    {FlagQuit, {GLFW_KEY_F4}},
};

// Stick thresholds: a pad is at rest while its first four axes lie within RestLimit; a bound
// pad entry and a stick count beyond BindLimit.
constexpr float RestLimit = 0.3f;
constexpr int RestAxes = 4;
constexpr float BindLimit = 0.25f;
// The cursor park: this far right of the window's right edge, at half height.
constexpr int CursorParkOffset = 16;

bool KeyDown(int key) { return window && glfwGetKey(window, key) == GLFW_PRESS; }

bool Beyond(float v, float limit) { return v > limit || v < -limit; }

float* PadOf(VornSys& s, int pad) { return s.Joy + pad * PadFields; }

bool PadUsable(VornSys& s, int pad) {
    const float* p = PadOf(s, pad);
    return p[PadReady] == 1 && p[PadPresent] == 1;
}

// The pad 0..PadCount-1 an input code names, or -1 when it names no pad. The range test
// keeps every int (negative, or far beyond the pads) out of the pad table.
int PadOfCode(int code) {
    constexpr int first = PadCodeFirstPad * PadCodeStride;
    constexpr int end = (PadCodeFirstPad + PadCount) * PadCodeStride;
    if (code < first || code >= end) return -1;
    return code / PadCodeStride - PadCodeFirstPad;
}

// The mouse into pointer 0. The cursor position comes in window coordinates, which differ
// from framebuffer pixels on a HiDPI screen, so it is mapped with the window size.
void PollMouse(VornSys& s) {
    float* p = s.Touch;
    p[PointerLeft] = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS ? 1 : 0;
    p[PointerRight] = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS ? 1 : 0;
    p[PointerPrevX] = p[PointerX];
    p[PointerPrevY] = p[PointerY];
    p[PointerHeld] += 1;
    if (p[PointerLeft] == 0) {
        p[PointerHeld] = 0;
        p[PointerPrevX] = PointerUpPosition;
        p[PointerPrevY] = PointerUpPosition;
    }
    double cx = 0, cy = 0;
    glfwGetCursorPos(window, &cx, &cy);
    int ww = 0, wh = 0;
    glfwGetWindowSize(window, &ww, &wh);
    if (ww <= 0 || wh <= 0) {   // minimised: fall back to the last framebuffer size
        ww = s.CanvasWidth;
        wh = s.CanvasHeight;
    }
    const float r = ww > 0 ? s.VirtualWidth / ww : 0;
    const float scaleX = 1, scaleY = 1;
    p[PointerX] = static_cast<float>(cx - ww / 2) * scaleX * r + s.offx;
    p[PointerY] = static_cast<float>(cy - wh / 2) * scaleY * r + s.offy;
    p[PointerMoveX] = p[PointerX] - p[PointerPrevX];
    p[PointerMoveY] = p[PointerY] - p[PointerPrevY];
    if (p[PointerPrevX] < 0) {
        p[PointerMoveX] = 0;
        p[PointerMoveY] = 0;
    }
}

void PollKeys(VornSys& s) {
    for (const KeyGroup& g : KeyGroups)
        for (int key : g.keys)
            if (key != 0 && KeyDown(key)) s.Button[g.code] = 1;
    s.Button[FlagFocus] = -1;
    if (window && glfwGetWindowAttrib(window, GLFW_FOCUSED)) s.Button[FlagFocus] = 1;
}

// The four pads into Joy. A pad becomes ready on the first poll that finds it at rest and
// stays ready; an absent pad keeps its last values.
void PollPads(VornSys& s, int flip) {
    for (int pad = 0; pad < PadCount; ++pad) {
        float* p = PadOf(s, pad);
        p[PadPresent] = 0;
        if (!glfwJoystickPresent(pad)) continue;
        p[PadPresent] = 1;
        const char* name = glfwGetJoystickName(pad);
        int axisCount = 0, buttonCount = 0;
        const float* axes = glfwGetJoystickAxes(pad, &axisCount);
        const unsigned char* buttons = glfwGetJoystickButtons(pad, &buttonCount);
        if (!axes) axisCount = 0;
        if (!buttons) buttonCount = 0;
        bool atRest = true;
        for (int k = 0; k < PadAxes; ++k) {
            const float v = k < axisCount ? axes[k] : 0;
            p[PadAxisBase + k] = v;
            if (k < RestAxes && Beyond(v, RestLimit)) atRest = false;
        }
        if (flip == 1) {
            p[PadAxisBase + 1] = -p[PadAxisBase + 1];
            p[PadAxisBase + 3] = -p[PadAxisBase + 3];
        }
        for (int k = 0; k < PadButtons; ++k) {
            const bool down = k < buttonCount && buttons[k] == GLFW_PRESS;
            p[k] = down ? 1 : 0;
            if (down) atRest = false;
        }
        if (atRest && p[PadReady] == 0)
            std::printf("\n\n--=--\nController ID '%s'\n--=--\n\n", name ? name : "");
        if (atRest) p[PadReady] = 1;
    }
}

// The logical inputs a stick feeds: input, stick (0 first, 1 second), axis, sign.
struct StickFeed {
    int input, stick, axis;
    float sign;
};
constexpr StickFeed StickFeeds[] = {
    {InputUp, 0, 1, -1},  {InputRight, 0, 0, 1},  {InputDown, 0, 1, 1},  {InputLeft, 0, 0, -1},
    {InputUp2, 1, 3, -1}, {InputRight2, 1, 2, 1}, {InputDown2, 1, 3, 1}, {InputLeft2, 1, 2, -1},
};

}  // namespace

void VornSys::FlushKeys() {
    for (int i = 0; i < PolledButtons; ++i) Button[i] = 0;
}

void VornSys::PollInputB(int flip) {
    FlushKeys();
    if (!window) {   // without a window nothing can be read, nor can it ever be closed
        Button[FlagFocus] = -1;
        Button[FlagQuit] = 1;
        return;
    }
    PollMouse(*this);
    PollKeys(*this);
    if (glfwWindowShouldClose(window)) Button[FlagQuit] = 1;
    PollPads(*this, flip);
    PollRedef();
}

void VornSys::PollRedef() {
    for (int i = 0; i < LogicalInputs; ++i) {
        float a = 0;
        for (int r = BindFirstRow; r <= BindLastRow; ++r) {
            const int c = redef[r][i];
            if (c >= 1 && c <= InputCodeKeyLast && KeyDown(c)) a = 1;
            const int pad = PadOfCode(c);
            const int n = c % PadCodeStride;
            if (pad >= 0 && n <= PadLastBindable && PadUsable(*this, pad)) {
                const float v = PadOf(*this, pad)[n];
                if (Beyond(v, BindLimit) && std::fabs(v) > std::fabs(a)) a = v;
            }
        }
        for (int pad = 0; pad < PadCount; ++pad) {
            if (!PadUsable(*this, pad)) continue;
            const float* axis = PadOf(*this, pad) + PadAxisBase;
            for (const StickFeed& f : StickFeeds) {
                if (f.input != i) continue;
                const int x = 2 * f.stick;   // each stick is a pair of axes
                if (!Beyond(axis[x], BindLimit) && !Beyond(axis[x + 1], BindLimit)) continue;
                const float candidate = f.sign * axis[f.axis];
                if (candidate > a) a = candidate;
            }
        }
        Keyv[i] = a;
    }
}

void VornSys::ClearKeys() {
    for (auto& row : redef)
        for (int& c : row) c = 0;
}

void VornSys::DefineKey(int input, int code) {
    if (input < 0 || input >= LogicalInputs) return;
    for (auto& row : redef)
        for (int& c : row)
            if (c == code) c = 0;
    const bool padCode = code / PadCodeStride >= PadCodeFirstPad;
    for (int r = BindFirstRow; r < BindLastRow; ++r) {
        const int moved = redef[r + 1][input];
        redef[r][input] = padCode && moved / PadCodeStride == code / PadCodeStride ? 0 : moved;
    }
    redef[BindLastRow][input] = code;
}

void VornSys::LockAll() {
    for (int i = 0; i < IgnorePressLocked; ++i) ignorePress[i] = 1;
}

int VornSys::AnyKey() {
    for (int key = AnyKeyFirst; key <= AnyKeyLast; ++key) {
        if (!KeyDown(key))
            ignorePress[key] = 0;
        else if (ignorePress[key] == 0)
            return key;
    }
    for (int pad = 0; pad < PadCount; ++pad) {
        if (!PadUsable(*this, pad)) continue;
        const float* p = PadOf(*this, pad);
        for (int n = 0; n < AnyKeyPadEntries; ++n) {
            const int code = (pad + PadCodeFirstPad) * PadCodeStride + n;
            const float v = p[n];
            if (v > -BindLimit && v < BindLimit)
                ignorePress[code] = 0;
            else if (Beyond(v, BindLimit) && ignorePress[code] == 0)
                return code;
        }
    }
    return -1;
}

std::string VornSys::ButtonName(int code) {
    if (code >= 1 && code < KeyNames) return "[ " + KeyName[code] + " ]";
    const int pad = PadOfCode(code);
    if (pad < 0 || !PadUsable(*this, pad)) return "N/A";
    const int n = code % PadCodeStride;
    char text[64];
    if (n < PadAxisBase)
        std::snprintf(text, sizeof text, "Joy %i Button %i", pad + 1, n);
    else
        std::snprintf(text, sizeof text, "Joy %i Axis %i", pad + 1, n - PadAxisBase);
    return text;
}

void VornSys::BumpCursorSys() {
    if (!window) return;
    int ww = 0, wh = 0;
    glfwGetWindowSize(window, &ww, &wh);
    glfwSetCursorPos(window, ww + CursorParkOffset, wh / 2);
}

int VornSys::IsBut(int code) { return code >= 0 && code < ButtonCodes ? Button[code] : 0; }

float VornSys::vKey(int i) { return i >= 0 && i < KeyvSize ? Keyv[i] : 0; }

float VornSys::vKey(int a, int b) { return vKey(LogicalInputs * b + a); }
