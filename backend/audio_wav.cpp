// WAV files of the sound slots and the music stream: the RIFF chunk readers, the PCM header
// and the walk over the chunks after it, and the OpenAL format of a PCM layout.
#include "audio_decoders.h"

#include <AL/al.h>

#include <cstdio>
#include <cstring>

#include "Vorn_glfw3.h"

namespace vorn_audio {

namespace {

constexpr int WavFormatPCM = 1;
constexpr int WavFormatFields = 16;    // bytes of the PCM fields of a "fmt " chunk

// ---- WAV chunk readers ----

char TagText[5];

const char* readTag(FILE* f) {
    if (std::fread(TagText, 1, 4, f) != 4) {
        TagText[0] = 0;
        return TagText;
    }
    TagText[4] = 0;
    return TagText;
}

int readInt(FILE* f) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return MissingNumber;
    return static_cast<int>(static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1]) << 8 |
                            static_cast<unsigned>(b[2]) << 16 | static_cast<unsigned>(b[3]) << 24);
}

int readShort(FILE* f) {
    unsigned char b[2];
    if (std::fread(b, 1, 2, f) != 2) return MissingNumber;
    return b[0] | b[1] << 8;
}

long FileSize(FILE* f) {
    long at = std::ftell(f);
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, at, SEEK_SET);
    return size;
}

long BytesLeft(FILE* f) { return FileSize(f) - std::ftell(f); }

// A chunk size the file can hold from here on; a size cut off by the end of the file reads
// as MissingNumber and is refused like any other negative one.
bool ChunkFits(FILE* f, int size) {
    if (size >= 0 && size <= BytesLeft(f)) return true;
    if (size == MissingNumber)
        ASys.Debuglog("Wave Chunk Size Missing");
    else
        ASys.Debuglog(ASys.fstrSys("Wave Chunk Too Large %i", size));
    return false;
}

// Skips n bytes (already checked to lie within the file).
void skipBytes(FILE* f, int n) { std::fseek(f, n, SEEK_CUR); }

// RIFF pads a chunk of odd size with one zero byte, which sox and ffmpeg write. Some writers
// leave it out; a chunk tag never starts with a zero byte, so the byte after an odd chunk is
// skipped only when it is zero.
void SkipPadByte(FILE* f, int size) {
    if (size % 2 == 0) return;
    const int c = std::fgetc(f);
    if (c != 0 && c != EOF) std::fseek(f, -1, SEEK_CUR);
}

}  // namespace

void LogBadFormat(const WavFormat& fmt) {
    ASys.Debuglog(ASys.fstrSys("Bad Wave Format %i channels %i bits", fmt.channels, fmt.bits));
}

WavHeader ReadWavHeader(FILE* f, WavFormat& fmt) {
    if (std::strcmp(readTag(f), "RIFF") != 0) return WavHeader::Refused;
    readInt(f);  // RIFF size
    if (std::strcmp(readTag(f), "WAVE") != 0) return WavHeader::Refused;
    if (std::strcmp(readTag(f), "fmt ") != 0) return WavHeader::Refused;
    int fmtSize = readInt(f);
    if (readShort(f) != WavFormatPCM) return WavHeader::Refused;
    fmt.channels = readShort(f);
    fmt.rate = readInt(f);
    readInt(f);    // byte rate
    readShort(f);  // block align
    fmt.bits = readShort(f);
    if (fmt.channels <= 0 || fmt.bits < 8) {
        LogBadFormat(fmt);
        return WavHeader::RefusedAndLogged;
    }
    fmt.bytesPerSample = fmt.bits / 8;
    if (fmtSize > WavFormatFields) {
        if (!ChunkFits(f, fmtSize - WavFormatFields)) return WavHeader::RefusedAndLogged;
        skipBytes(f, fmtSize - WavFormatFields);
        SkipPadByte(f, fmtSize);
    }
    return WavHeader::Read;
}

bool ChunkWalker::Next(char tag[5], int& size) {
    if (body >= 0) {
        std::fseek(file, body + bodySize, SEEK_SET);
        SkipPadByte(file, bodySize);
    }
    const char* t = readTag(file);
    if (!t[0]) return false;
    std::memcpy(tag, t, 5);
    size = readInt(file);
    if (!ChunkFits(file, size)) return false;
    body = std::ftell(file);
    bodySize = size;
    return true;
}

int AlFormat(int bytesPerSample, int channels) {
    if (bytesPerSample == 1 && channels == 1) return AL_FORMAT_MONO8;
    if (bytesPerSample == 1 && channels == 2) return AL_FORMAT_STEREO8;
    if (bytesPerSample == 2 && channels == 1) return AL_FORMAT_MONO16;
    if (bytesPerSample == 2 && channels == 2) return AL_FORMAT_STEREO16;
    return 0;
}

}  // namespace vorn_audio
