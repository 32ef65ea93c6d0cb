// Text helpers of the core: the Tempstr ring with fstr, tstr and nth, number and text
// conversions, the Char64 and six-letter codes, substrings and fields, the checksum and
// the run-length packer.
#include "VornCore.h"

#include <cstdarg>
#include <cstdio>

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
