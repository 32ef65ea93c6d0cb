// Recording stand-in for OpenAL: device and context, sources with their state and buffer
// queues, buffers with their data, the listener.
#pragma once

#include <map>
#include <vector>

struct FakeAlBuffer {
    int format = 0;
    int frequency = 0;
    std::vector<unsigned char> data;
    bool deleted = false;
};

struct FakeAlSource {
    int state = 0x1011;               // AL_INITIAL
    int buffer = 0;                   // AL_BUFFER
    int looping = 0;
    float gain = 1, pitch = 1;
    float position[3] = {0, 0, 0};
    std::vector<unsigned int> queue;  // queued buffers, oldest first
    int processed = 0;                // how many of the queue count as played (set by tests)
    int plays = 0, stops = 0;
    bool deleted = false;
};

struct FakeAlState {
    // Set by tests.
    bool deviceFails = false;
    bool contextFails = false;
    int pendingError = 0;             // returned once by alGetError; the first error raised
                                      // stays until it is read, as in OpenAL

    // Recorded.
    bool deviceOpen = false;
    bool contextCurrent = false;
    bool contextDestroyed = false;
    bool deviceClosed = false;
    unsigned int nextName = 1;
    std::map<unsigned int, FakeAlSource> sources;
    std::map<unsigned int, FakeAlBuffer> buffers;
    std::vector<unsigned int> sourceOrder;    // names in order of creation
    float listenerPosition[3] = {0, 0, 0};
    float listenerVelocity[3] = {0, 0, 0};
    float listenerOrientation[6] = {0, 0, 0, 0, 0, 0};
};

extern FakeAlState FakeAl;

// Records an OpenAL error unless an earlier one is still unread.
void FakeAlRaise(int error);
// Marks the n oldest not yet played buffers of a source's queue as played.
void FakeAlPlayBuffers(unsigned int source, int n);
// True while a buffer is attached to a source or queued on one (OpenAL refuses to change or
// delete it then).
bool FakeAlBufferInUse(unsigned int buffer);
