// Sound effects and streamed music through OpenAL: the device, context, sources and buffers
// opened at start-up, the sound slots and the music stream.
#include "Vorn_glfw3.h"

#include <AL/al.h>
#include <AL/alc.h>

ALCdevice* ALdev = nullptr;
ALCcontext* ALctx = nullptr;
unsigned int ALsource[32];
unsigned int MusicBuffer[MusicBuffers];
unsigned int ALbuffer[SoundSlots];
int ALbufferActive[SoundSlots];
