// Text helpers of the core: the Tempstr ring with fstr, tstr and nth, number and text
// conversions, the Char64 and six-letter codes, substrings and fields, the checksum and
// the run-length packer.
#include "VornCore.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int TempstrUse = 0;

// Takes the next buffer of the ring: 1, 2, ..., 29, 0, 1, ...
static char* NextTempstr(VornCore& core) {
    TempstrUse = (TempstrUse + 1) % TempstrCount;
    return core.Tempstr[TempstrUse];
}

// Formats into one ring buffer. A text too long for it is cut to TempstrSize - 1 characters;
// returns the number of characters kept.
static int FormatTempstr(char* buffer, const char* format, va_list args) {
    const int wanted = vsnprintf(buffer, TempstrSize, format, args);
    if (wanted < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return wanted < TempstrSize ? wanted : TempstrSize - 1;
}

char* VornCore::fstr(const char* format, ...) {
    char* buffer = NextTempstr(*this);
    va_list args;
    va_start(args, format);
    FormatTempstr(buffer, format, args);
    va_end(args);
    return buffer;
}

int VornCore::tstr(const char* format, ...) {
    char* buffer = NextTempstr(*this);
    va_list args;
    va_start(args, format);
    const int kept = FormatTempstr(buffer, format, args);
    va_end(args);
    return kept;
}

// ---- numbers as text ----

char* VornCore::nth(int n) {
    const int last = n % 10;
    const bool pastTeens = n > 20;
    if (n == 1 || (pastTeens && last == 1)) return fstr("%dst", n);
    if (n == 2 || (pastTeens && last == 2)) return fstr("%dnd", n);
    if (n == 3 || (pastTeens && last == 3)) return fstr("%drd", n);
    return fstr("%dth", n);
}

std::string VornCore::Hex(int n) { return fstr("%X", static_cast<unsigned>(n)); }

std::string VornCore::Bin(int n) { return fstr("%u", static_cast<unsigned>(n)); }

// strtol in the given base; values beyond the int range give the nearest limit.
static int ReadNumber(const std::string& s, int base) {
    const long v = std::strtol(s.c_str(), nullptr, base);
    return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

int VornCore::HexToInt(const std::string& s) { return ReadNumber(s, 16); }

int VornCore::BinToInt(const std::string& s) { return ReadNumber(s, 2); }

int VornCore::StrToInt(const std::string& s) { return ReadNumber(s, 10); }

int VornCore::ToInt(const std::string& s) { return StrToInt(s); }

// ---- the Char64 code ----

namespace {
constexpr int Char64Count = 64;
constexpr char Char64Symbols[Char64Count + 1] =
    "_-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int Char64Bits = 6;
constexpr int Char64x4Symbols = 4;

int Char64Index(int n) {
    const int r = n % Char64Count;
    return r < 0 ? r + Char64Count : r;
}
}  // namespace

char VornCore::Char64(int n) { return Char64Symbols[Char64Index(n)]; }

char VornCore::Char64b(int n) {
    const int i = Char64Index(n);
    return i == 0 ? ' ' : Char64Symbols[i];
}

// '_' and '.' give 0, '-' and '/' 1, digits 2..11, capitals 12..37, small letters 38..63;
// every other character lands somewhere in 0..63 by the same steps.
int VornCore::Int64(char c) {
    int v = static_cast<signed char>(c);
    if (v == '_') v = '.';
    if (v == '-') v = '/';
    if (v > 'Z') v -= 'a' - 'Z' - 1;   // small letters follow the capitals
    if (v > '9') v -= 'A' - '9' - 1;   // capitals follow the digits
    return Char64Index(v - '.');
}

std::string VornCore::Char64x4(long n) {
    std::string out;
    for (int i = 0; i < Char64x4Symbols; i++) {
        out += Char64(static_cast<int>(n & (Char64Count - 1)));
        n >>= Char64Bits;
    }
    return out;
}

// Reads four symbols, lowest first; a text that ends early counts its missing symbols as 0.
int VornCore::Int64x4(const char* s) {
    int value = 0;
    for (int i = 0; s && i < Char64x4Symbols && s[i] != '\0'; i++) {
        value += Int64(s[i]) << (Char64Bits * i);
    }
    return value;
}

// ---- the six-letter code ----

namespace {
constexpr int SixLetters = 6;
constexpr int LetterBits = 5;
constexpr int LetterMask = (1 << LetterBits) - 1;
constexpr int TopLetterShift = LetterBits * (SixLetters - 1);   // 25: the first letter
constexpr int LetterCount = 26;

std::string SixLettersOf(long a) {
    const int32_t bits = static_cast<int32_t>(a);
    std::string out;
    for (int i = 0; i < SixLetters; i++) {
        const int g = (bits >> (TopLetterShift - LetterBits * i)) & LetterMask;
        out += (g >= 1 && g <= LetterCount) ? static_cast<char>('A' + g - 1) : ' ';
    }
    return out;
}
}  // namespace

// Letters count 1..26 whatever their case; anything else counts 0.
int VornCore::SixDigitString(const std::string& s) {
    int sum = 0;
    for (int i = 0; i < SixLetters && i < static_cast<int>(s.size()); i++) {
        const int c = static_cast<signed char>(s[i]);
        int a = c <= 'Z' ? c - ('A' - 1) : c - ('a' - 1);
        if (a < 1 || a > LetterCount) a = 0;
        sum += a << (TopLetterShift - LetterBits * i);
    }
    return sum;
}

std::string VornCore::SixDigitString(long a) { return SixLettersOf(a); }

std::string VornCore::SixDigitString(long a, long b) { return SixLettersOf(a) + SixLettersOf(b); }

std::string VornCore::SixDigitString(long a, long b, long c) {
    return SixLettersOf(a) + SixLettersOf(b) + SixLettersOf(c);
}

// ---- substrings and fields ----
// Every function here that cuts text takes one ring buffer, through "%.*s"; its result is
// cut to what a ring buffer holds. Positions and counts outside the text are clamped to it.

namespace {
constexpr int PadLimit = 1023;   // text plus fill of LeftPad and RightPad stay within this

int Length(const std::string& s) { return static_cast<int>(std::strlen(s.c_str())); }
}  // namespace

std::string VornCore::Left(const std::string& s, int n) { return fstr("%.*s", n, s.c_str()); }

// A start before the text counts from 0; one beyond its end gives the empty text.
std::string VornCore::Mid(const std::string& s, int start, int n) {
    start = std::clamp(start, 0, Length(s));
    return fstr("%.*s", n, s.c_str() + start);
}

// A count beyond the length gives the whole text, a negative one the empty text.
std::string VornCore::Right(const std::string& s, int n) {
    const int length = Length(s);
    n = std::clamp(n, 0, length);
    return fstr("%s", s.c_str() + (length - n));
}

// The fill of LeftPad and RightPad: n copies of c in a ring buffer, where n is cut so that
// text and fill stay within PadLimit characters. A text already longer than that gets no
// fill and is only cut to n.
static char* PadFill(VornCore& core, const std::string& s, unsigned& n, char c) {
    const int length = Length(s);
    char* fill = NextTempstr(core);
    if (length > PadLimit) {
        fill[0] = '\0';
        return fill;
    }
    n = std::min<unsigned>(n, static_cast<unsigned>(PadLimit - length));
    std::memset(fill, c, n);
    fill[n] = '\0';
    return fill;
}

std::string VornCore::LeftPad(const std::string& s, unsigned n, char c) {
    const char* fill = PadFill(*this, s, n, c);
    return Left(fstr("%s%s", s.c_str(), fill), static_cast<int>(std::min<unsigned>(n, INT_MAX)));
}

std::string VornCore::RightPad(const std::string& s, unsigned n, char c) {
    const char* fill = PadFill(*this, s, n, c);
    return Right(fstr("%s%s", fill, s.c_str()), static_cast<int>(std::min<unsigned>(n, INT_MAX)));
}

// Characters of code 32 and below count as blanks, and so do bytes above 127.
static bool IsBlank(char c) { return static_cast<signed char>(c) <= ' '; }

std::string VornCore::Trim(const std::string& s) {
    const char* p = s.c_str();
    int first = 0;
    int end = Length(s);
    while (first < end && IsBlank(p[first])) first++;
    while (end > first && IsBlank(p[end - 1])) end--;
    return fstr("%.*s", end - first, p + first);
}

std::string VornCore::Strip(const std::string& s) {
    char* out = NextTempstr(*this);
    int n = 0;
    for (const char* p = s.c_str(); *p != '\0' && n < TempstrSize - 1; p++) {
        if (*p != ' ') out[n++] = *p;
    }
    out[n] = '\0';
    return out;
}

std::string VornCore::iniLeft(const std::string& s) {
    const char* p = s.c_str();
    const char* equals = std::strchr(p, '=');
    if (!equals) return fstr("%s", NotFound);
    return fstr("%.*s", static_cast<int>(equals - p), p);
}

std::string VornCore::iniRight(const std::string& s) {
    const char* equals = std::strchr(s.c_str(), '=');
    return fstr("%s", equals ? equals + 1 : NotFound);
}

// Fields end at a separator or at the last character; a separator at the very end closes
// the last field without opening an empty one.
std::string VornCore::Split(const std::string& s, char sep, int n) {
    const char* p = s.c_str();
    const int length = Length(s);
    int count = 0;
    int start = 0;
    for (int i = 0; i < length; i++) {
        int end;
        if (p[i] == sep) {
            end = i;
        } else if (i == length - 1) {
            end = i + 1;
        } else {
            continue;
        }
        if (++count == n) return fstr("%.*s", end - start, p + start);
        start = i + 1;
    }
    return fstr("%s", NotFound);
}

int VornCore::SplitCount(const std::string& s, char sep) {
    int count = 1;
    for (const char* p = s.c_str(); *p != '\0'; p++) {
        if (*p == sep) count++;
    }
    return count;
}

// ---- checksum ----

namespace {
constexpr uint32_t ChecksumModulus = 3717;
constexpr uint32_t ChecksumOffset = 73;
constexpr uint32_t ChecksumDivisor = 7;
}  // namespace

// Sums are 32-bit with wrap-around; the remainder is taken of the sum read as unsigned.
int VornCore::Checksum(const std::string& s, int seed) {
    uint32_t sum = 0;
    const char* p = s.c_str();
    for (uint32_t i = 0; p[i] != '\0'; i++) {
        const uint32_t c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(p[i])));
        const uint32_t weight = i + (i + ChecksumOffset) / ChecksumDivisor +
                                static_cast<uint32_t>(seed) * (i + 1) + 1;
        sum = (sum + weight * c) % ChecksumModulus;
    }
    return static_cast<int>(sum);
}

int VornCore::Checksum(const std::string& s) { return Checksum(s, GameNum); }

// ---- run-length packer ----
// Pairs of a count letter and a character: 'A'..'Z' for 1..26, 'a'..'z' for 27..52; a
// space after every tenth pair but the last.

namespace {
constexpr int RunCapitals = 26;   // counts 1..26 as 'A'..'Z'
constexpr int RunLongest = 52;    // counts 27..52 as 'a'..'z'
constexpr int PairsPerGroup = 10;

char CountLetter(int run) { return static_cast<char>(run <= RunCapitals ? 'A' - 1 + run : 'a' - 1 - RunCapitals + run); }
}  // namespace

// The empty text packs to the empty text.
std::string VornCore::Tovcrunch(const std::string& s) {
    const char* p = s.c_str();
    std::string out;
    if (*p == '\0') return out;
    char cur = p[0];
    int run = 1;
    int pairs = 0;
    auto pair = [&](int count, char c) {
        out += CountLetter(count);
        out += c;
        if (++pairs == PairsPerGroup) {
            out += ' ';
            pairs = 0;
        }
    };
    for (const char* q = p + 1; *q != '\0'; q++) {
        if (*q == cur) {
            if (++run > RunLongest) {
                pair(RunLongest, cur);
                run = 1;
            }
        } else {
            pair(run, cur);
            cur = *q;
            run = 1;
        }
    }
    out += CountLetter(run);
    out += cur;
    return out;
}

// Characters that are no count letter (the spaces between groups) are skipped; a count
// letter at the very end, with no character after it, adds nothing.
std::string VornCore::Tovucrunch(const std::string& s) {
    const char* p = s.c_str();
    const int length = Length(s);
    std::string out;
    int i = 0;
    while (i < length) {
        const char c = p[i];
        if (c < 'A' || c > 'z') {
            i++;
            continue;
        }
        if (i + 1 >= length) break;
        const int count = c <= 'Z' ? c - ('A' - 1) : c - ('a' - 1 - RunCapitals);
        out.append(static_cast<std::size_t>(count), p[i + 1]);
        i += 2;
    }
    return out;
}
