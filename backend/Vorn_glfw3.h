// The platform backend: class VornSys and its one object ASys. Window and OpenGL context
// (GLFW), the draw-list renderer, image slots, OpenAL sound and music, polled input with
// bindings, binary file primitives, the HTTP client and the numbered log.
#pragma once

#include <array>
#include <string>
#include <vector>

struct GLFWwindow;

// ---- draw list -------------------------------------------------------------------------
constexpr int DrawFields = 30;             // doubles per DrawCommand record (240 bytes)
constexpr int DrawListDoubles = 500000;    // size of Draw
constexpr int DrawListRecords = DrawListDoubles / DrawFields;  // 16,666 whole records
constexpr int DrawCopyRecords = 50000;     // room of the render copy DrawR
constexpr int DrawSetFloats = 50;
constexpr int DrawStateFloats = 16;        // DrawSet 0..15, copied into fields 10..25

// Command codes (field 0).
constexpr int CmdRect = 1;
constexpr int CmdQuad = 2;
constexpr int CmdOval = 3;
constexpr int CmdLine = 4;
constexpr int CmdFan = 5;
constexpr int CmdTri = 6;
constexpr int CmdImage = 11;
constexpr int CmdQuadImage = 12;
constexpr int CmdImageBlur = 13;
constexpr int CmdBlend = 50;

// Blend modes (field 1 of a CmdBlend record).
constexpr int BlendAlpha = 1;
constexpr int BlendAdd = 2;
constexpr int BlendInverseAdd = 3;

// DrawSet layout.
constexpr int DsAlphaA = 0, DsRedA = 1, DsGreenA = 2, DsBlueA = 3;
constexpr int DsAlphaB = 4, DsRedB = 5, DsGreenB = 6, DsBlueB = 7;
constexpr int DsRotation = 8, DsHalfThick = 9, DsScaleX = 11, DsScaleY = 12;
constexpr int DsClearNow = 21;      // 21, 22, 23: red, green, blue now
constexpr int DsClearTarget = 24;   // 24, 25, 26: red, green, blue target
constexpr int DsClearDivisor = 27;
constexpr int DsSmooth = 49;

// Record fields.
constexpr int FieldCode = 0, FieldX = 1, FieldY = 2, FieldW = 3, FieldH = 4;
constexpr int FieldColourA = 10, FieldColourB = 14, FieldRotation = 18;
constexpr int FieldSlot = 28, FieldFrame = 29;

// ---- image slots -----------------------------------------------------------------------
constexpr int ImageSlots = 105;
constexpr int ImgScreenshot = 100;
constexpr int ImgScratch = 101;
constexpr int ImgGrab = 102;

// ---- sound slots -----------------------------------------------------------------------
constexpr int SoundSlots = 105;
constexpr int SfxSources = 31;      // sources 0..30 play effects
constexpr int MusicSource = 31;     // source 31 streams music
constexpr int MusicBuffers = 4;
constexpr int AudioSources = 32;    // SfxSources effect sources and the music source
constexpr int SfxFields = 10;       // SFXData entries per slot
constexpr int SfxBytes = 0, SfxFrames = 1, SfxChannels = 2, SfxBytesPerSample = 3, SfxRate = 4;
constexpr float SfxPitchMin = 0.25f, SfxPitchMax = 16.0f;
// MusicPlaying: which kind of stream is running.
constexpr int MusicNone = 0, MusicWav = 1, MusicOgg = 2;
// MusicSet: the settings applied to the music source on every pass.
constexpr int MusicSetCount = 10;
constexpr int MusicPitchSet = 1, MusicVolumeSet = 2, MusicPanSet = 3;
// MusicBufferStats: the sample format of the running stream (an Ogg stream's channels as
// queued: more than two are mixed down to stereo).
constexpr int MusicStatsCount = 10;
constexpr int MusicStatFormat = 1, MusicStatRate = 4, MusicStatChannels = 5;
constexpr int MusicPrimeTick = -3;        // MusicBufferTick at a start: four buffers to prime
constexpr int MusicBlockBytes = 16384;    // one WAV stream block
constexpr int OggBlockSamples = 16384;    // 16-bit samples (all channels) per Ogg block

// ---- input -----------------------------------------------------------------------------
constexpr int ButtonCodes = 128;
// Fixed key groups.
constexpr int PlayUp = 0, PlayLeft = 3, PlayRight = 5, PlayDown = 8;
constexpr int PlayFire1 = 10, PlayFire2 = 11, PlayFire3 = 12, PlayFire4 = 13, PlayFire5 = 14, PlayFire6 = 15;
constexpr int PlayEnter = 98, PlayEscape = 99;
// Framework flags.
constexpr int FlagFocus = 63, FlagF2 = 64, FlagF11 = 65, FlagF10 = 66, FlagF9 = 67, FlagF1 = 68;
constexpr int FlagQuit = 100;
// Logical inputs (index into Keyv and the columns of redef).
constexpr int LogicalInputs = 16;
constexpr int InputUp = 0, InputRight = 1, InputDown = 2, InputLeft = 3;
constexpr int InputUp2 = 4, InputRight2 = 5, InputDown2 = 6, InputLeft2 = 7;
constexpr int InputStart = 8, InputBack = 9;
constexpr int InputButton1 = 10, InputButton2 = 11, InputButton3 = 12, InputButton4 = 13;
constexpr int InputLeftShoulder = 14, InputRightShoulder = 15;
constexpr int KeyNames = 350;
// Button flags cleared and rebuilt by every poll (entry 127 is left alone).
constexpr int PolledButtons = 127;
// Pointers: Touch holds PointerCount records of PointerFields floats; the mouse is record 0.
constexpr int PointerCount = 10, PointerFields = 10;
constexpr int PointerX = 1, PointerY = 2, PointerPrevX = 3, PointerPrevY = 4;
constexpr int PointerLeft = 5, PointerRight = 6, PointerHeld = 7, PointerMoveX = 8, PointerMoveY = 9;
constexpr float PointerUpPosition = -100;   // previous position while the left button is up
// Pads: Joy holds PadCount records of PadFields floats.
constexpr int PadCount = 4, PadFields = 100;
constexpr int PadButtons = 45;            // entries 0..44
constexpr int PadAxisBase = 50;           // entries 50..94: axes 0..44
constexpr int PadAxes = 45;
constexpr int PadReady = 98, PadPresent = 99;
constexpr int PadLastBindable = 97;       // highest pad entry a binding reads
// Input codes: keys by GLFW key code, pad p entry n as (p + PadCodeFirstPad) * 100 + n.
constexpr int InputCodeKeyLast = 499;     // codes 1..499 are asked of the keyboard
constexpr int PadCodeFirstPad = 5;
constexpr int PadCodeStride = 100;
constexpr int AnyKeyFirst = 32, AnyKeyLast = 348;   // the real GLFW key codes
constexpr int AnyKeyPadEntries = 50;      // pad entries AnyKey captures (buttons, not axes)
constexpr int IgnorePressSize = 1024, IgnorePressLocked = 1000;
// Binding table: BindRows rows per logical input, the used ones BindFirstRow..BindLastRow.
constexpr int BindRows = 64, BindFirstRow = 48, BindLastRow = 63;
constexpr int KeyvSize = 128;

// ---- values shared by every layer -------------------------------------------------------
constexpr int MissingNumber = -37171;     // a number that could not be read

class VornSys {
public:
    // ---- data members, in declaration order ----
    double Draw[DrawListDoubles];
    int DrawTo;
    float DrawSet[DrawSetFloats];
    int CurBlend;
    int FontImage;
    float offx, offy;
    int CanvasWidth, CanvasHeight;
    int PolyCount;
    int ObjCount;
    float VirtualWidth;
    float ImageZoom;
    float Aspect;
    std::string URLGrabbed;
    int iFrames[ImageSlots];
    float iSizeScaled[ImageSlots];
    int iFramesSquare[ImageSlots];
    char ScreenshotName[128];
    int MusicPlaying;
    int MusicLoop;
    int MusicBufferTo;
    float MusicSet[10];
    float MusicVolB;
    int Button[ButtonCodes];
    float Touch[100];
    float Joy[400];
    int redef[64][16];
    float Keyv[128];

    // ---- window, log and shutdown (window.cpp) ----
    void SysInit(const char* title);
    void SetScreen(int width, int height);
    void FlipFull();
    void HiResRender();
    void Force1920();
    void Close();
    char* fstrSys(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Debuglog(const char* text);

    // ---- renderer (renderer.cpp) ----
    void RenderBuffer();
    void RenderSys(float overscan);
    void RenderRect(int first);
    void RenderQuad(int first);
    void RenderOval(int first);
    void RenderLine(int first);
    void RenderFan(int first);
    void RenderTri(int first);
    void RenderImage(int first);
    void RenderQuadImage(int first);
    void RenderImageBlur(int first);

    // ---- image slots, PNG files, buffers (images.cpp) ----
    void GetPNG(int slot, const char* path, unsigned int size);
    void GrabBuffer();
    void Screenshot();
    void SavePNG(const char* path, int slot, unsigned int width, unsigned int height);
    void ScreenToBuffer();
    void Buffer_Create(int slot, int side);
    void Buffer_Fill(int slot, int red, int green, int blue, int alpha);
    void Buffer_Plot(int slot, float x, float y, float red, float green, float blue, float alpha);
    void Buffer_Line(int slot, float x1, float y1, float x2, float y2, float red, float green, float blue,
                     float alpha);
    void Buffer_Tile(int destination, int source, float x, float y, int frame);

    // ---- input polling and bindings (input.cpp) ----
    void PollInputB(int flip);
    void FlushKeys();
    void PollRedef();
    void ClearKeys();
    void DefineKey(int input, int code);
    void LockAll();
    int AnyKey();
    std::string ButtonName(int code);
    void BumpCursorSys();
    int IsBut(int code);
    float vKey(int i);
    float vKey(int a, int b);

    // ---- sound effects and music (audio.cpp) ----
    void GetWAV(int slot, const char* path);
    void PlayWAV(int slot, float pitch, float volume, float pan, int loop);
    void PlayMusic_Wav_Sys(const char* path, int loop);
    void PlayMusic_Ogg_Sys(const char* path, int loop);
    void BufferMusic_Wav_Sys();
    void BufferMusic_Ogg_Sys();
    void StopMusicSys();
    void HandleMusicSys();

    // ---- file primitives (files.cpp) ----
    // One file open at a time; opening either way closes the open one first. A file opened
    // for writing goes to a temporary file beside it that CloseFile_Sys moves over the path.
    int WriteFile_Sys(const char* path);     // 1 opened, 0 failed ("Error Writing File")
    int ReadFile_Sys(const char* path);      // 1 opened, 0 failed ("Error Reading File")
    void WriteInt_Sys(int value);            // 4 bytes, least significant first
    void WriteByte_Sys(char value);
    void WriteString_Sys(const char* text);  // the text and a line feed
    int ReadInt_Sys();                       // MissingNumber when fewer than 4 bytes remain
    int ReadIntb_Sys();                      // the same
    int ReadByte_Sys();                      // 0..255, -1 at end of file
    char* ReadString_Sys();                  // the next line in TempstrSys, "" at end of file
    long FilePos_Sys();                      // -1 when no file is open
    void FileSeek_Sys(int offset);           // from the start of the file
    void CloseFile_Sys();

    // ---- HTTP client and user name (http.cpp, platform.cpp) ----
    // One GET of "/" + path from host (as SplitHost takes it); the framed payload of the
    // reply goes to URLGrabbed. URLDataOld connects without the 3-second wait.
    void URLData(const char* host, const char* path);
    void URLDataOld(const char* host, const char* path);
    std::string SystemUsername();            // the effective user's login name, or ""
    int StartBrowserSys(const char* address);  // xdg-open's exit status, -1 if it did not run
};

extern VornSys ASys;

// ---- backend globals: window, log (window.cpp) ----
extern GLFWwindow* window;
extern int isFullscreen;
extern char GameTitleSys[1024];
extern std::vector<unsigned char> WhiteBlock;
extern char TempstrSys[1024];
extern int DebugMessages;
extern std::string KeyName[KeyNames];
constexpr int StartWindowWidth = 256, StartWindowHeight = 128;  // the first, small window
constexpr int WindowWidth = 800, WindowHeight = 600;            // the real window
constexpr float StartVirtualWidth = 800;
// Prints a GLFW error to standard error; installed with glfwSetErrorCallback.
void error_callback(int code, const char* description);

// ---- renderer state (renderer.cpp) ----
constexpr int TexNone = -1;            // TexUse: no batch open
constexpr int TexFlat = -2;            // TexUse: flat shapes, textured with WhiteBlock
constexpr int TexBlurOffset = 200;     // TexUse: slot + 200 for a slot's blurred pixels
constexpr int BatchShapeLimit = 50000; // a batch is cut once it holds more shapes than this
constexpr int WhiteBlockSide = 8;      // WhiteBlock is 8 x 8 RGBA texels
constexpr int WedgeCount = 36;         // wedges of an oval or fan
constexpr double WedgeDegrees = 10;
constexpr double RenderDegToRad = 0.017453;  // the renderer's degrees-to-radians factor
constexpr int ImageSlotsDrawn = 100;   // slots 0..99 (and ImgGrab) are drawable
extern double DrawR[DrawCopyRecords * DrawFields];
extern int DrawToRT;
extern int TexUse;
extern int TriCount;
extern int RenderMode;
extern int Wireframe;
extern float OverscanScaleX, OverscanScaleY;
// Texture objects: one per slot's pixels, one per slot's blurred pixels and one for the white
// block, made on first use in the current context and uploaded again only when the slot's
// ImageChanges count or side differs from those of its last upload.
void ForgetTextures();   // the context is gone (window re-created): make every texture again
void DeleteTextures();   // deletes them in the current context and forgets them

// ---- image slot table (images.cpp) ----
constexpr int ImgLoadable = 100;          // GetPNG and the game use slots 0..99
constexpr int ImgCreatable = 101;         // Buffer_Create accepts 0..100
constexpr int SpriteBorder = 4;           // transparent texels around every sprite of a sheet
constexpr int SpritePitchExtra = 2 * SpriteBorder;  // cell pitch = sprite size + 8
constexpr int SheetMinSide = 64;          // smallest sheet texture side
constexpr int SheetMaxPow2Side = 2048;    // sheet sides up to this are raised to a power of two
constexpr int GrabMinSide = 64;           // smallest grab square
constexpr int GrabMaxSide = 4096;         // largest grab square; a larger window is cropped
constexpr int ColourKeyHigh = 250;        // a key channel is "full" above this
constexpr int ColourKeyLow = 4;           // and "empty" at or below this
constexpr int TextureMaxSide = 4096;      // no slot texture is made larger than this square
constexpr unsigned PngMaxSide = 16384;    // PNG headers claiming more are refused before decoding
constexpr unsigned long long PngMaxPixels = 1ull << 26;   // and so are more pixels than this
extern std::vector<unsigned char> Image[ImageSlots];
extern std::vector<unsigned char> ImageBlur[ImageSlots];
extern int iFramesW[ImageSlots];
extern float iFramesWz[ImageSlots];
extern int iSize[ImageSlots];
// Every write of a slot's pixels or size counts up the slot's entry (MarkImageChanged); the
// renderer compares it with the count it last uploaded.
extern unsigned long long ImageChanges[ImageSlots];
void MarkImageChanged(int slot);

// ---- input (input.cpp) ----
extern int ignorePress[IgnorePressSize];

// ---- audio device and sources (audio.cpp) ----
struct ALCdevice_struct;     // OpenAL's ALCdevice
struct ALCcontext_struct;    // OpenAL's ALCcontext
extern ALCdevice_struct* ALdev;
extern ALCcontext_struct* ALctx;
extern unsigned int ALsource[32];
extern unsigned int MusicBuffer[MusicBuffers];
extern unsigned int ALbuffer[SoundSlots];
extern int ALbufferActive[SoundSlots];
constexpr int NoSlot = -1;    // ALsourcebuffer: the source holds no slot
extern std::array<int, AudioSources> ALsourcebuffer;   // NoSlot on every source at load
extern int ALChannel;
extern int SFXData[SoundSlots][SfxFields];
extern int MusicBufferTick;
extern int MusicBufferStats[MusicStatsCount];

// ---- files (files.cpp) ----
#include <cstdio>
extern std::FILE* MyOpenFile;   // the one open data file, null when none
extern int FileOpen;            // 1 while MyOpenFile is open
// Writes bytes to path as a save reaches its file: through a temporary file beside it that
// replaces path only once every byte is on the disk. False, with nothing left behind, on any
// failure (no room, no permission, no such folder).
bool ReplaceFileWith(const char* path, const std::vector<unsigned char>& bytes);

// ---- HTTP (http.cpp) ----
constexpr int WebBufferSize = 10000;          // bytes asked of one receive
constexpr int ReplyLimit = 64 * 1024;         // a longer reply is cut here
constexpr int HttpPort = 80;                  // when the host names no port
constexpr int ConnectWaitMs = 3000;           // wait for a non-blocking connect, all addresses
constexpr int AttemptDelayMs = 250;           // before the next address's connect starts
constexpr int ReceiveTimeoutMs = 5000;        // wait for the whole reply after the request
constexpr const char* PayloadOpen = "[-\r\nData-]";
constexpr const char* PayloadClose = "[-\r\nEnd-]";
constexpr const char* ScoreHostVariable = "BRINDLEWICK_SCORE_HOST";
constexpr const char* DefaultScoreHost = "localhost:8556";
extern char webBuffer[WebBufferSize];         // receive buffer
extern std::string website_HTML;              // the kept bytes of the last reply
// The score server's host: BRINDLEWICK_SCORE_HOST when set and not empty, else the default.
std::string ScoreServerHost();
// The text between the framing delimiters of a reply, after dropping every byte that is not
// 32..127, CR or LF; "" without the opening delimiter, the rest without the closing one.
std::string FramedPayload(const std::string& reply);
// The payload URLData takes from these bytes of a reply (at most ReplyLimit of them): interim
// 1xx heads passed over, then, as the final head says, a chunked body decoded as far as it
// came ("" when its chunking is broken) or a body cut at its Content-Length, then FramedPayload.
std::string ReplyPayload(const std::string& bytes);
// "name", "name:port", "[address]" or "[address]:port" (an IPv6 address goes in brackets)
// into the name to look up and the port (HttpPort when none is given); false when the name is
// empty or the port is not a number 1..65535.
bool SplitHost(const std::string& host, std::string& name, std::string& port);
// URLData's exchange once the host is looked up to addresses: their connects race (the
// families taking turns; the next starts AttemptDelayMs after the last while none has
// connected, at once when one fails; ConnectWaitMs in all), the request goes to the first to
// connect with host in its Host header, and the reply's payload to grabbed. When none connects
// it prints "\n-=Unable to Connect=-\n" and leaves grabbed as it was.
struct addrinfo;
void FetchFromFirstToConnect(const addrinfo* addresses, const std::string& host, const char* path, std::string& grabbed);

// ---- the wall clock (platform.cpp) ----
// Wall-clock milliseconds of a steady clock since the process started. Tests may point
// SysClockSource at their own clock to drive the game's pacing.
extern long long (*SysClockSource)();
long long SysClockMs();
// Sleeps until the steady clock reads clockMs (as SysClockMs counts), waking on that
// millisecond's first tick rather than somewhere inside it; returns at once when it already has.
void SysSleepUntilMs(long long clockMs);
