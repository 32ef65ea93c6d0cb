// The game-facing input API: the per-update poll with the framework keys (F1, F2, quit,
// focus), the fixed key groups mixed with the pads, logical inputs and their bindings,
// direct pad reads, and the pointers with their hit tests.
#include "VornCore.h"

#include <cstring>

int UpdateCountLive = 0;
int DebugToggle = 0;
int ScreenshotToggle = 0;

namespace {

// A pad value counts as pressed, or a stick as pushed, beyond this.
constexpr float PadPressLimit = 0.5f;

// What a usable pad adds to a fixed key group: a button above the limit, or (axis >= 0) the
// axis beyond the limit in the given direction.
struct PadMix {
    int code, button, axis;
    float direction;
};
constexpr int NoAxis = -1;
constexpr PadMix PadMixes[] = {
    {PlayUp, 10, 1, -1},          {PlayLeft, 13, 0, -1},        {PlayRight, 11, 0, 1},
    {PlayDown, 12, 1, 1},         {PlayFire1, 0, NoAxis, 0},    {PlayFire2, 1, NoAxis, 0},
    {PlayFire3, 2, NoAxis, 0},    {PlayFire4, 3, NoAxis, 0},    {PlayFire5, 4, NoAxis, 0},
    {PlayFire6, 5, NoAxis, 0},    {PlayEnter, 7, NoAxis, 0},    {PlayEscape, 6, NoAxis, 0},
};

const float* PadOf(int pad) { return ASys.Joy + pad * PadFields; }

bool PadUsable(int pad) {
    if (pad < 0 || pad >= PadCount) return false;
    const float* p = PadOf(pad);
    return p[PadReady] == 1 && p[PadPresent] == 1;
}

bool ValidPointer(int i) { return i >= 0 && i < PointerCount; }

float PointerField(int i, int field) { return ValidPointer(i) ? ASys.Touch[i * PointerFields + field] : 0; }

// A pointer takes part in hit tests only while its x or y is above 0.
bool PointerPresent(int i) { return PointerField(i, PointerX) > 0 || PointerField(i, PointerY) > 0; }

// One edge latch: each press of the flag flips mode once, however long it is held.
void ToggleOnPress(int flag, int& latch, int& mode) {
    if (flag == 0) latch = 0;
    if (flag == 1 && latch == 0) {
        latch = 1;
        mode = 1 - mode;
    }
}

}  // namespace

void VornCore::PollInput(int invertY) {
    UpdateCountLive++;
    ASys.PollInputB(invertY);
    ToggleOnPress(ASys.Button[FlagF1], DebugToggle, DebugMode);
    ToggleOnPress(ASys.Button[FlagF2], ScreenshotToggle, ScreenshotMode);
    if (ASys.Button[FlagQuit] == 1) GameBreak = 1;
    Active = ASys.Button[FlagFocus];
}

int VornCore::PlayKey(int code) {
    if (code < 0 || code >= ButtonCodes) return 0;
    int result = ASys.Button[code];
    if (MixJoy != 1) return result;
    for (const PadMix& m : PadMixes) {
        if (m.code != code) continue;
        for (int pad = 0; pad < PadCount; ++pad) {
            if (!PadUsable(pad)) continue;
            const float* p = PadOf(pad);
            if (p[m.button] > PadPressLimit) result = 1;
            if (m.axis != NoAxis && m.direction * p[PadAxisBase + m.axis] > PadPressLimit) result = 1;
        }
    }
    return result;
}

int VornCore::PlayKeyAll(int code) { return PlayKey(code); }

float VornCore::Joy(int n) { return ASys.vKey(n); }

void VornCore::SetKey(int input, int code) { ASys.DefineKey(input, code); }

int VornCore::KeyValue(int input, int row) {
    if (input < 0 || input >= LogicalInputs || row < 0 || row >= BindRows) return 0;
    return ASys.redef[row][input];
}

void VornCore::FlushKeys() { ASys.ClearKeys(); }

void VornCore::LockForGet() { ASys.LockAll(); }

int VornCore::GetKey() { return ASys.AnyKey(); }

std::string VornCore::KeyName(int code) { return ASys.ButtonName(code); }

int VornCore::JoyDown(int b) { return JoyDown(b, 0); }

int VornCore::JoyDown(int b, int pad) {
    if (!PadUsable(pad) || b < 0 || b >= PadFields) return 0;
    return PadOf(pad)[b] > PadPressLimit ? 1 : 0;
}

float VornCore::JoyAxis(int a) { return JoyAxis(a, 0); }

float VornCore::JoyAxis(int a, int pad) {
    if (!PadUsable(pad) || a < 0 || PadAxisBase + a >= PadFields) return 0;
    return PadOf(pad)[PadAxisBase + a];
}

float VornCore::StickX() {
    float sum = 0;
    for (int pad = 0; pad < PadCount; ++pad) sum += JoyAxis(0, pad);
    return sum;
}

float VornCore::StickY() {
    float sum = 0;
    for (int pad = 0; pad < PadCount; ++pad) sum += JoyAxis(1, pad);
    return sum;
}

float VornCore::MouseX() { return MouseX(0); }
float VornCore::MouseX(int i) { return PointerField(i, PointerX); }
float VornCore::MouseY() { return MouseY(0); }
float VornCore::MouseY(int i) { return PointerField(i, PointerY); }
int VornCore::MouseDown() { return MouseDown(0); }
int VornCore::MouseDown(int i) { return static_cast<int>(PointerField(i, PointerLeft)); }
int VornCore::MouseDown_Alt() { return MouseDown_Alt(0); }
int VornCore::MouseDown_Alt(int i) { return static_cast<int>(PointerField(i, PointerRight)); }
int VornCore::MouseHeld() { return MouseHeld(0); }
int VornCore::MouseHeld(int i) { return static_cast<int>(PointerField(i, PointerHeld)); }
float VornCore::TouchX() { return MouseX(0); }
float VornCore::TouchX(int i) { return MouseX(i); }
float VornCore::TouchY() { return MouseY(0); }
float VornCore::TouchY(int i) { return MouseY(i); }
int VornCore::TouchDown() { return MouseDown(0); }
int VornCore::TouchDown(int i) { return MouseDown(i); }
int VornCore::TouchDown_Alt() { return MouseDown_Alt(0); }
int VornCore::TouchDown_Alt(int i) { return MouseDown_Alt(i); }
int VornCore::TouchHeld() { return MouseHeld(0); }
int VornCore::TouchHeld(int i) { return MouseHeld(i); }

int VornCore::mdall() {
    for (int i = 0; i < PointerCount; ++i)
        if (PointerField(i, PointerLeft) != 0) return 1;
    return 0;
}

int VornCore::MouseIn(float x, float y, float w, float h) {
    for (int i = 0; i < PointerCount; ++i) {
        if (!PointerPresent(i)) continue;
        const float px = PointerField(i, PointerX), py = PointerField(i, PointerY);
        if (x <= px && y <= py && px <= x + w && py <= y + h) return i + 1;
    }
    return 0;
}

int VornCore::MouseIn_Centered(float x, float y, float w, float h) { return MouseIn(x - w / 2, y - h / 2, w, h); }

int VornCore::MouseIn_Radius(float x, float y, float r) {
    for (int i = 0; i < PointerCount; ++i) {
        if (!PointerPresent(i)) continue;
        const float dx = PointerField(i, PointerX) - x, dy = PointerField(i, PointerY) - y;
        if (dx * dx + dy * dy <= r * r) return i + 1;
    }
    return 0;
}

void VornCore::BumpCursor() { ASys.BumpCursorSys(); }
