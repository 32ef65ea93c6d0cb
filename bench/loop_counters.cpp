// Preloaded into the game by bench/focused_cpu.py (LD_PRELOAD): counts, without changing the
// game, its buffer swaps (renders), its focus reads (one per input poll, so one per update
// while focused) and its music services (the processed-buffer query of every refill step).
// The counts live in a small file named by LOOP_COUNTERS_FILE, mapped shared, so the script
// reads them while the game runs.
#include <AL/al.h>
#include <GLFW/glfw3.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {
enum Counter { Renders, Polls, MusicServices, CounterCount };
long long Unmapped[CounterCount];
long long* Counts = Unmapped;

__attribute__((constructor)) void MapCounters() {
    const char* path = std::getenv("LOOP_COUNTERS_FILE");
    if (!path) return;
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (ftruncate(fd, sizeof Unmapped) == 0) {
        void* p = mmap(nullptr, sizeof Unmapped, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED) Counts = static_cast<long long*>(p);
    }
    close(fd);
}

void Count(Counter c) { __atomic_fetch_add(&Counts[c], 1, __ATOMIC_RELAXED); }

template <class F> F Next(const char* name) { return reinterpret_cast<F>(dlsym(RTLD_NEXT, name)); }
}  // namespace

extern "C" {
void glfwSwapBuffers(GLFWwindow* w) {
    static auto real = Next<void (*)(GLFWwindow*)>("glfwSwapBuffers");
    Count(Renders);
    real(w);
}

int glfwGetWindowAttrib(GLFWwindow* w, int attrib) {
    static auto real = Next<int (*)(GLFWwindow*, int)>("glfwGetWindowAttrib");
    if (attrib == GLFW_FOCUSED) Count(Polls);
    return real(w, attrib);
}

void alGetSourcei(ALuint source, ALenum param, ALint* value) {
    static auto real = Next<void (*)(ALuint, ALenum, ALint*)>("alGetSourcei");
    if (param == AL_BUFFERS_PROCESSED) Count(MusicServices);
    real(source, param, value);
}
}
