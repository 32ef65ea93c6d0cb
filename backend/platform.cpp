// The small POSIX layer under the backend: the wall clock and the sleep until it reads a time,
// the logged-in user's name and the start of the desktop's web-page opener (xdg-open, run
// directly, never through a shell).
#include "Vorn_glfw3.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Taken while the program's statics are built, before main: the clock counts from here.
static const std::chrono::steady_clock::time_point ProcessStart = std::chrono::steady_clock::now();

// Wall-clock milliseconds since the process started (never processor time).
static long long SteadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - ProcessStart).count();
}

long long (*SysClockSource)() = SteadyClockMs;

long long SysClockMs() { return SysClockSource(); }

void SysSleepUntilMs(long long clockMs) {
    std::this_thread::sleep_until(ProcessStart + std::chrono::milliseconds(clockMs));
}

namespace {

constexpr long PasswdBufferFallback = 16384;   // when sysconf gives no size
constexpr const char* BrowserOpener = "xdg-open";

}  // namespace

std::string VornSys::SystemUsername() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) size = PasswdBufferFallback;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

int VornSys::StartBrowserSys(const char* address) {
    // The address is one argument of the opener: quotes, semicolons or $(...) in it are text.
    std::string opener = BrowserOpener;
    std::string argument = address ? address : "";
    char* argv[] = {opener.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, BrowserOpener, nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
