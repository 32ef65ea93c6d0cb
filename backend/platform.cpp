// The small POSIX layer under the backend: the wall clock (and, with their concerns, the
// user name and the browser start).
#include "Vorn_glfw3.h"

#include <chrono>

static long long SteadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long long (*SysClockSource)() = SteadyClockMs;

long long SysClockMs() { return SysClockSource(); }
