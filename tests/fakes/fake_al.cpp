// Recording stand-in for OpenAL: the device, context, source, buffer and listener calls the
// backend makes, on top of FakeAl.
#include "fake_al.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

FakeAlState FakeAl;

namespace {
ALCdevice* const FakeDevice = reinterpret_cast<ALCdevice*>(static_cast<intptr_t>(0x200));
ALCcontext* const FakeContext = reinterpret_cast<ALCcontext*>(static_cast<intptr_t>(0x300));
FakeAlSource* Source(ALuint name) {
    auto it = FakeAl.sources.find(name);
    return it == FakeAl.sources.end() ? nullptr : &it->second;
}
bool IsPcmFormat(ALenum format) {
    return format == AL_FORMAT_MONO8 || format == AL_FORMAT_MONO16 || format == AL_FORMAT_STEREO8 ||
           format == AL_FORMAT_STEREO16;
}
}  // namespace

void FakeAlRaise(int error) {
    if (FakeAl.pendingError == 0) FakeAl.pendingError = error;
}

void FakeAlPlayBuffers(unsigned int source, int n) {
    if (FakeAlSource* s = Source(source))
        s->processed = std::min<int>(s->processed + n, static_cast<int>(s->queue.size()));
}

bool FakeAlBufferInUse(unsigned int buffer) {
    for (const auto& entry : FakeAl.sources) {
        const FakeAlSource& s = entry.second;
        if (s.deleted) continue;
        if (s.buffer == static_cast<int>(buffer) && buffer != 0) return true;
        if (std::find(s.queue.begin(), s.queue.end(), buffer) != s.queue.end()) return true;
    }
    return false;
}

extern "C" {

ALCdevice* alcOpenDevice(const ALCchar*) {
    if (FakeAl.deviceFails) return nullptr;
    FakeAl.deviceOpen = true;
    return FakeDevice;
}
ALCboolean alcCloseDevice(ALCdevice* d) {
    if (d) FakeAl.deviceClosed = true;
    return d ? ALC_TRUE : ALC_FALSE;
}
ALCcontext* alcCreateContext(ALCdevice* d, const ALCint*) {
    if (!d || FakeAl.contextFails) return nullptr;
    return FakeContext;
}
ALCboolean alcMakeContextCurrent(ALCcontext* c) {
    FakeAl.contextCurrent = c != nullptr;
    return ALC_TRUE;
}
void alcDestroyContext(ALCcontext* c) {
    if (c) FakeAl.contextDestroyed = true;
}

ALenum alGetError(void) {
    ALenum e = FakeAl.pendingError;
    FakeAl.pendingError = 0;
    return e;
}

void alGenSources(ALsizei n, ALuint* names) {
    for (ALsizei i = 0; i < n; ++i) {
        names[i] = FakeAl.nextName++;
        FakeAl.sources[names[i]] = FakeAlSource{};
        FakeAl.sourceOrder.push_back(names[i]);
    }
}
void alDeleteSources(ALsizei n, const ALuint* names) {
    for (ALsizei i = 0; i < n; ++i)
        if (FakeAlSource* s = Source(names[i])) s->deleted = true;
}
void alGenBuffers(ALsizei n, ALuint* names) {
    for (ALsizei i = 0; i < n; ++i) {
        names[i] = FakeAl.nextName++;
        FakeAl.buffers[names[i]] = FakeAlBuffer{};
    }
}
void alDeleteBuffers(ALsizei n, const ALuint* names) {
    for (ALsizei i = 0; i < n; ++i)
        if (FakeAlBufferInUse(names[i])) return FakeAlRaise(AL_INVALID_OPERATION);
    for (ALsizei i = 0; i < n; ++i) {
        auto it = FakeAl.buffers.find(names[i]);
        if (it != FakeAl.buffers.end()) it->second.deleted = true;
    }
}
void alBufferData(ALuint name, ALenum format, const ALvoid* data, ALsizei size, ALsizei freq) {
    if (!IsPcmFormat(format)) return FakeAlRaise(AL_INVALID_ENUM);
    if (freq <= 0 || size < 0) return FakeAlRaise(AL_INVALID_VALUE);
    if (FakeAlBufferInUse(name)) return FakeAlRaise(AL_INVALID_OPERATION);
    FakeAlBuffer& b = FakeAl.buffers[name];
    b.format = format;
    b.frequency = freq;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    b.data.assign(p, p + (size > 0 ? size : 0));
}

void alListener3f(ALenum param, ALfloat x, ALfloat y, ALfloat z) {
    float* dst = param == AL_POSITION ? FakeAl.listenerPosition : param == AL_VELOCITY ? FakeAl.listenerVelocity : nullptr;
    if (dst) {
        dst[0] = x;
        dst[1] = y;
        dst[2] = z;
    }
}
void alListenerfv(ALenum param, const ALfloat* v) {
    if (param == AL_ORIENTATION) std::memcpy(FakeAl.listenerOrientation, v, sizeof FakeAl.listenerOrientation);
    if (param == AL_POSITION) std::memcpy(FakeAl.listenerPosition, v, sizeof FakeAl.listenerPosition);
    if (param == AL_VELOCITY) std::memcpy(FakeAl.listenerVelocity, v, sizeof FakeAl.listenerVelocity);
}
void alListenerf(ALenum, ALfloat) {}

void alSourcei(ALuint name, ALenum param, ALint value) {
    FakeAlSource* s = Source(name);
    if (!s) return;
    if (param == AL_BUFFER) {
        if (s->state == AL_PLAYING || s->state == AL_PAUSED) return FakeAlRaise(AL_INVALID_OPERATION);
        s->buffer = value;
        s->queue.clear();
        s->processed = 0;
    }
    if (param == AL_LOOPING) s->looping = value;
}
void alSourcef(ALuint name, ALenum param, ALfloat value) {
    FakeAlSource* s = Source(name);
    if (!s) return;
    if (param == AL_GAIN) s->gain = value;
    if (param == AL_PITCH) s->pitch = value;
}
void alSource3f(ALuint name, ALenum param, ALfloat x, ALfloat y, ALfloat z) {
    FakeAlSource* s = Source(name);
    if (s && param == AL_POSITION) {
        s->position[0] = x;
        s->position[1] = y;
        s->position[2] = z;
    }
}
void alSourcefv(ALuint name, ALenum param, const ALfloat* v) {
    FakeAlSource* s = Source(name);
    if (s && param == AL_POSITION) std::memcpy(s->position, v, sizeof s->position);
}
void alGetSourcei(ALuint name, ALenum param, ALint* value) {
    FakeAlSource* s = Source(name);
    if (!s || !value) return;
    if (param == AL_SOURCE_STATE) *value = s->state;
    if (param == AL_BUFFERS_PROCESSED)
        *value = s->state == AL_STOPPED ? static_cast<ALint>(s->queue.size()) : s->state == AL_INITIAL ? 0 : s->processed;
    if (param == AL_BUFFERS_QUEUED) *value = static_cast<ALint>(s->queue.size());
    if (param == AL_BUFFER) *value = s->buffer;
    if (param == AL_LOOPING) *value = s->looping;
}
// Playing starts the source from the top of its queue; stopping leaves a source that never
// played in its initial state, as OpenAL does.
void alSourcePlay(ALuint name) {
    if (FakeAlSource* s = Source(name)) {
        s->state = AL_PLAYING;
        s->processed = 0;
        s->plays++;
    }
}
void alSourceStop(ALuint name) {
    if (FakeAlSource* s = Source(name)) {
        if (s->state != AL_INITIAL) s->state = AL_STOPPED;
        s->stops++;
    }
}
void alSourcePause(ALuint name) {
    if (FakeAlSource* s = Source(name)) s->state = AL_PAUSED;
}
// A source holding a buffer of its own (AL_BUFFER) takes no queue.
void alSourceQueueBuffers(ALuint name, ALsizei n, const ALuint* buffers) {
    FakeAlSource* s = Source(name);
    if (!s) return FakeAlRaise(AL_INVALID_NAME);
    if (s->buffer != 0) return FakeAlRaise(AL_INVALID_OPERATION);
    for (ALsizei i = 0; i < n; ++i) s->queue.push_back(buffers[i]);
}
// As in OpenAL: only played buffers come off (all of them on a stopped source, none on one
// that never played); asking for more is an error that changes nothing.
void alSourceUnqueueBuffers(ALuint name, ALsizei n, ALuint* buffers) {
    FakeAlSource* s = Source(name);
    if (!s) return FakeAlRaise(AL_INVALID_NAME);
    int played = s->state == AL_STOPPED ? static_cast<int>(s->queue.size())
                 : s->state == AL_INITIAL ? 0
                                          : s->processed;
    if (n > played) return FakeAlRaise(AL_INVALID_VALUE);
    for (ALsizei i = 0; i < n; ++i) {
        buffers[i] = s->queue.front();
        s->queue.erase(s->queue.begin());
        if (s->processed > 0) s->processed--;
    }
}

}  // extern "C"
